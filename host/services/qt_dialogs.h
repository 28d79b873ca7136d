#pragma once
// The Qt implementations of the host's dialog services. A style is read the platform's way: buttons
// (style & 7: 0 OK, 1 OK/Cancel, 2 Abort/Retry/Ignore, 3 Yes/No/Cancel, 4 Yes/No, 5 Retry/Cancel), icon
// (16 critical, 32 question, 48 exclamation, 64 information), default button (256 the second, 512 the
// third) and 4096 system-modal. So 308 is Yes/No with the exclamation icon and No as default, 67
// Yes/No/Cancel with the information icon, and 4370 the error display's Abort/Retry/Ignore, critical,
// Retry as default. Buttons show the host's Italian texts. The answer is the platform's number of the
// button pressed; closing the box counts as Cancel where there is one.
//
// BuildMessageBox and ErrorDialog are the whole decision and are what the tests check; Message and
// ShowError only run them.

#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <memory>
#include <optional>
#include <string>

#include "platform/ado/connection.h"
#include "platform/services/dialogs.h"

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

namespace kv::qt {

std::unique_ptr<QMessageBox> BuildMessageBox(const QString& text, int style, const QString& title,
                                             QWidget* parent = nullptr);
// The platform's answer for a button of a box made by BuildMessageBox (answer::kCancel for none).
int AnswerFor(const QMessageBox& box, QAbstractButton* clicked);
// The text the error display shows for a report (message and number; the detail apart).
QString ErrorText(const kv::services::ErrorReport& report);

// The error display's dialog: the icon and buttons of the report's style, the Italian message once, the
// error number once, and a closed "Dettagli" expander over the technical detail (procedure, source,
// original description, the database's messages).
class ErrorDialog : public QDialog {
  public:
    explicit ErrorDialog(const kv::services::ErrorReport& report, QWidget* parent = nullptr);
    // The platform's answer for the button pressed (Cancel when the dialog was closed otherwise).
    int answer() const { return answer_; }
    QLabel* messageLabel() const { return message_; }
    QLabel* numberLabel() const { return number_; }
    QToolButton* detailsButton() const { return details_button_; }
    QPlainTextEdit* details() const { return details_; }
    QDialogButtonBox* buttons() const { return buttons_; }

  protected:
    // Escape and the close box: Cancel where the style has it (or its only button); otherwise the
    // dialog must be answered with one of its buttons.
    void reject() override;

  private:
    int escape_answer_ = 0;  // 0: cannot be escaped
    QLabel* message_;
    QLabel* number_;
    QToolButton* details_button_;
    QPlainTextEdit* details_;
    QDialogButtonBox* buttons_;
    int answer_;
};

// The dialog that asks for the password a database server wants when neither the connection string nor
// the password file or the service gives it: which server and user, a field that shows no characters
// (and lets nothing be copied out of it), OK and Annulla. After a refusal it says the last one was not
// accepted.
class PasswordDialog : public QDialog {
  public:
    explicit PasswordDialog(const kv::ado::PasswordPrompt::Request& request, QWidget* parent = nullptr);
    QLabel* messageLabel() const { return message_; }
    QLineEdit* field() const { return field_; }
    QDialogButtonBox* buttons() const { return buttons_; }
    // The typed password, handed over once: the field is emptied.
    std::string TakePassword();

  private:
    QLabel* message_;
    QLineEdit* field_;
    QDialogButtonBox* buttons_;
};

// Shows a PasswordDialog: the password, or nullopt when the user pressed Annulla or closed it.
std::optional<std::string> AskPassword(const kv::ado::PasswordPrompt::Request& request, QWidget* parent);

class QtMessageService : public kv::services::MessageService {
  public:
    explicit QtMessageService(QWidget* parent = nullptr) : parent_(parent) {}
    int Message(const std::string& text, int style, const std::string& title) override;

  private:
    QPointer<QWidget> parent_;
};

class QtErrorDisplay : public kv::services::ErrorDisplay {
  public:
    explicit QtErrorDisplay(QWidget* parent = nullptr) : parent_(parent) {}
    // Shows an ErrorDialog. Abort 3, Retry 4, and Ignore reported as 2, as the platform's error display does.
    int ShowError(const kv::services::ErrorReport& report) override;

  private:
    QPointer<QWidget> parent_;
};

}  // namespace kv::qt
