#pragma once
// The host's two dialog services: the error display (every trapped error of the window ends here) and the
// message service (questions and notices). Each has a Qt implementation in the desktop host and a
// scripted one (scripted_dialogs.h) for headless runs and tests.

#include <string>
#include <vector>

#include "platform/ado/connection.h"

namespace kv::services {

// Message box styles, as the platform combines them (buttons + icon + default button + modality).
namespace style {
inline constexpr int kOkOnly = 0;
inline constexpr int kOkCancel = 1;
inline constexpr int kAbortRetryIgnore = 2;
inline constexpr int kYesNoCancel = 3;
inline constexpr int kYesNo = 4;
inline constexpr int kRetryCancel = 5;
inline constexpr int kCritical = 16;
inline constexpr int kQuestion = 32;
inline constexpr int kExclamation = 48;
inline constexpr int kInformation = 64;
inline constexpr int kDefaultButton2 = 256;
inline constexpr int kDefaultButton3 = 512;
inline constexpr int kSystemModal = 4096;
// The error display's style: critical, Abort/Retry/Ignore, second button default, system-modal.
inline constexpr int kErrorStyle = 4370;
}  // namespace style

// The answers, as the platform numbers them.
namespace answer {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kAbort = 3;
inline constexpr int kRetry = 4;
inline constexpr int kIgnore = 5;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
}  // namespace answer

// Everything the error display shows about one trapped error.
struct ErrorReport {
    long number = 0;
    std::string description;
    std::string source;
    std::vector<ado::ErrorInfo> connection_errors;
    std::string component;  // the text identifying the component
    std::string caption;    // the window's caption
    std::string procedure;  // the procedure that failed
    int style = style::kErrorStyle;
};

class ErrorDisplay {
public:
    virtual ~ErrorDisplay() = default;
    // Shows the error and returns the answer: 3 Abort (leave the procedure), 4 Retry (run the failing
    // step again), or 2 for Ignore (go on with the next step), as the platform's error display reports
    // it. Callers take a 5 (Ignore's own number) as Ignore too.
    virtual int ShowError(const ErrorReport& report) = 0;
    // Called once when the window that owns it closes.
    virtual void Finish() {}
};

class MessageService {
public:
    virtual ~MessageService() = default;
    // Shows text with the given style and title; returns the answer (answer::kYes, kNo, kCancel, kOk...).
    virtual int Message(const std::string& text, int style, const std::string& title) = 0;
};

}  // namespace kv::services
