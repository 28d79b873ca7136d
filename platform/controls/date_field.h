#pragma once
// DateField: a key field holding a date typed in the regional short-date form. It is valid when its
// text is a real calendar day (31/02/2025 is not); once confirmed valid, the text is rewritten in the
// regional form with a four-digit year ("1/2/25" becomes "01/02/2025"), which is what programs read.

#include <optional>

#include "platform/controls/entry_field.h"
#include "platform/variant/date.h"
#include "platform/variant/regional.h"

namespace kv::controls {

class DateField : public EntryField {
  public:
    explicit DateField(std::string name, const RegionalSettings& rs = RegionalSettings::Italian())
        : EntryField(std::move(name)), regional_(rs) {}

    void SetRegionalSettings(const RegionalSettings& rs) { regional_ = rs; }
    // The date the text names, whether or not it was confirmed; nullopt when it names none.
    std::optional<Date> Value() const;

    // Reads the text with the given settings: the valid-flag rule, for any caller that needs it.
    static std::optional<Date> ReadDate(const std::string& text, const RegionalSettings& rs);

  protected:
    void Check() override;

  private:
    RegionalSettings regional_;
};

}  // namespace kv::controls
