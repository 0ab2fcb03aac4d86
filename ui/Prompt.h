// Message boxes and file/colour dialogs behind one small interface, so tests can answer them.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace brisko::ui {

enum class PromptButtons { Ok, YesNo, YesNoCancel, OkCancel, RetryCancel };
enum class PromptIcon { None, Information, Question, Warning, Critical };
enum class PromptAnswer { Ok, Yes, No, Cancel, Retry };

struct PromptRequest {
    QString text;
    QString title;
    PromptButtons buttons = PromptButtons::Ok;
    PromptIcon icon = PromptIcon::None;
};

// Shows a message box (modal) and returns the button pressed.
PromptAnswer message(QWidget* parent, const PromptRequest& request);
// Asks for a folder; "" when cancelled.
QString chooseFolder(QWidget* parent, const QString& title, const QString& start);
// Asks for an existing file; "" when cancelled.
QString chooseOpenFile(QWidget* parent, const QString& title, const QString& start,
                       const QString& filter);
// Asks for a file to save; "" when cancelled.
QString chooseSaveFile(QWidget* parent, const QString& title, const QString& start,
                       const QString& filter);

// Test hooks. While a responder is set, no dialog is shown: every message is recorded and
// answered by the responder; file and folder questions are answered by the path responder.
using MessageResponder = std::function<PromptAnswer(const PromptRequest&)>;
using PathResponder = std::function<QString(const QString& title)>;
void setMessageResponder(MessageResponder responder);
void setPathResponder(PathResponder responder);

}  // namespace brisko::ui
