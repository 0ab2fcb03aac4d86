// Message boxes and file, folder and colour dialogs behind one small interface, so tests can
// answer them.
#pragma once

#include <QColor>
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

// Asks for a colour, starting at INITIAL; an invalid colour when cancelled.
QColor chooseColor(QWidget* parent, const QString& title, const QColor& initial);

// Test hooks. While a responder is set, no dialog is shown: every message is recorded and
// answered by the responder; file and folder questions are answered by the path responder.
using MessageResponder = std::function<PromptAnswer(const PromptRequest&)>;
using PathResponder = std::function<QString(const QString& title)>;
void setMessageResponder(MessageResponder responder);
void setPathResponder(PathResponder responder);
// While set, colour questions are answered by it (an invalid colour = cancelled).
using ColorResponder = std::function<QColor(const QString& title)>;
void setColorResponder(ColorResponder responder);

}  // namespace brisko::ui
