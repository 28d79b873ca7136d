#pragma once
// kv::Error is the platform's run-time error: a number, a description and the source that raised it,
// exactly what the host's error display shows. Every platform piece raises it; drivers catch it at
// their boundary (they set State = 99) and the window's error-trap helper turns it into a dialog.

#include <stdexcept>
#include <string>

namespace kv {

// Run-time error numbers used across the platform.
namespace err {
inline constexpr long kInvalidCall = 5;
inline constexpr long kOverflow = 6;
inline constexpr long kDivisionByZero = 11;
inline constexpr long kTypeMismatch = 13;
inline constexpr long kObjectNotSet = 91;
inline constexpr long kInvalidUseOfNull = 94;
inline constexpr long kInvalidArgument = 3001;       // adErrInvalidArgument
inline constexpr long kNoCurrentRecord = 3021;       // adErrNoCurrentRecord
inline constexpr long kIllegalOperation = 3219;      // adErrIllegalOperation
inline constexpr long kInTransaction = 3246;         // adErrInTransaction
inline constexpr long kItemNotFound = 3265;          // adErrItemNotFound
inline constexpr long kObjectInCollection = 3367;    // adErrObjectInCollection
inline constexpr long kDataConversion = 3421;        // adErrDataConversion
inline constexpr long kObjectClosed = 3704;          // adErrObjectClosed
inline constexpr long kObjectOpen = 3705;            // adErrObjectOpen
inline constexpr long kInvalidConnection = 3709;     // adErrInvalidConnection
inline constexpr long kMultipleStep = -2147217887;   // provider: "Multiple-step operation generated errors"
inline constexpr long kProvider = -2147467259;       // provider: the engine refused the statement
}  // namespace err

class Error : public std::runtime_error {
public:
    Error(long number, std::string description, std::string source = "kv")
        : std::runtime_error(description), number_(number), description_(std::move(description)),
          source_(std::move(source)) {}

    long Number() const noexcept { return number_; }
    const std::string& Description() const noexcept { return description_; }
    const std::string& Source() const noexcept { return source_; }

private:
    long number_;
    std::string description_;
    std::string source_;
};

}  // namespace kv
