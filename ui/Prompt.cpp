// Qt dialogs behind the prompt interface, or the test responders when set.
#include "ui/Prompt.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

namespace brisko::ui {
namespace {

MessageResponder& messageResponder() {
    static MessageResponder responder;
    return responder;
}
PathResponder& pathResponder() {
    static PathResponder responder;
    return responder;
}
ColorResponder& colorResponder() {
    static ColorResponder responder;
    return responder;
}

QMessageBox::StandardButtons standardButtons(PromptButtons buttons) {
    switch (buttons) {
        case PromptButtons::Ok: return QMessageBox::Ok;
        case PromptButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
        case PromptButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case PromptButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
        case PromptButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon standardIcon(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::None: return QMessageBox::NoIcon;
        case PromptIcon::Information: return QMessageBox::Information;
        case PromptIcon::Question: return QMessageBox::Question;
        case PromptIcon::Warning: return QMessageBox::Warning;
        case PromptIcon::Critical: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

PromptAnswer message(QWidget* parent, const PromptRequest& request) {
    if (messageResponder()) return messageResponder()(request);
    // On the heap: the parent may be destroyed while the box's event loop runs, and it deletes its
    // children; the box then goes with it and the question ends unanswered.
    QPointer<QMessageBox> box = new QMessageBox(standardIcon(request.icon), request.title,
                                                request.text, standardButtons(request.buttons),
                                                parent);
    // Return answers Yes where Yes is offered (the restore question relies on it).
    if (request.buttons == PromptButtons::YesNo || request.buttons == PromptButtons::YesNoCancel)
        box->setDefaultButton(QMessageBox::Yes);
    const int answer = box->exec();
    delete box.data();
    switch (answer) {
        case QMessageBox::Yes: return PromptAnswer::Yes;
        case QMessageBox::No: return PromptAnswer::No;
        case QMessageBox::Cancel: return PromptAnswer::Cancel;
        case QMessageBox::Retry: return PromptAnswer::Retry;
        default: return request.buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::Cancel;
    }
}

QString chooseFolder(QWidget* parent, const QString& title, const QString& start) {
    if (pathResponder()) return pathResponder()(title);
    return QFileDialog::getExistingDirectory(parent, title, start);
}

QString chooseOpenFile(QWidget* parent, const QString& title, const QString& start,
                       const QString& filter) {
    if (pathResponder()) return pathResponder()(title);
    return QFileDialog::getOpenFileName(parent, title, start, filter);
}

QString chooseSaveFile(QWidget* parent, const QString& title, const QString& start,
                       const QString& filter) {
    if (pathResponder()) return pathResponder()(title);
    return QFileDialog::getSaveFileName(parent, title, start, filter);
}

QColor chooseColor(QWidget* parent, const QString& title, const QColor& initial) {
    if (colorResponder()) return colorResponder()(title);
    return QColorDialog::getColor(initial, parent, title);
}

void setMessageResponder(MessageResponder responder) { messageResponder() = std::move(responder); }
void setPathResponder(PathResponder responder) { pathResponder() = std::move(responder); }
void setColorResponder(ColorResponder responder) { colorResponder() = std::move(responder); }

}  // namespace brisko::ui
