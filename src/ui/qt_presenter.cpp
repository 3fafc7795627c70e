#include "ui/qt_presenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace pellandrix::ui {

namespace {

struct Script {
    bool active = false;
    std::deque<MessageAnswer> answers;
    std::vector<std::string> shown;
};

Script& TheScript() {
    static Script script;
    return script;
}

}  // namespace

MessageAnswer CQtPresenter::Present(MessageKind kind, const std::string& text,
                                    ButtonStyle buttons) {
    Script& script = TheScript();
    script.shown.push_back(text);
    if (script.active) {
        if (script.answers.empty()) {
            return MessageAnswer::Other;
        }
        const MessageAnswer answer = script.answers.front();
        script.answers.pop_front();
        return answer;
    }

    // Owned by the dialog whose command asks (the help window may be the
    // active one) and modal to that window only, like the dialogs.
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == nullptr) {
        owner = QApplication::activeWindow();
    }
    QMessageBox box(owner);
    if (owner != nullptr) {
        box.setWindowModality(Qt::WindowModal);
    }
    box.setWindowTitle(QString::fromUtf8(kTitle));
    box.setText(QString::fromStdString(text));
    box.setTextFormat(Qt::PlainText);
    switch (kind) {
        case MessageKind::Notice:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageKind::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MessageKind::Error:
            box.setIcon(QMessageBox::Critical);
            break;
    }
    QAbstractButton* ok = nullptr;
    QAbstractButton* cancel = nullptr;
    QAbstractButton* yes = nullptr;
    QAbstractButton* no = nullptr;
    switch (buttons) {
        case ButtonStyle::Ok:
            ok = box.addButton(QMessageBox::Ok);
            break;
        case ButtonStyle::OkCancel:
            ok = box.addButton(QMessageBox::Ok);
            cancel = box.addButton(QMessageBox::Cancel);
            break;
        case ButtonStyle::YesNo:
            yes = box.addButton(QMessageBox::Yes);
            no = box.addButton(QMessageBox::No);
            break;
    }
    if (cancel == nullptr) {
        // Escape and the close box must give Other, never Ok, Yes or No: an
        // invisible Cancel button receives them.
        QPushButton* escape = box.addButton(QMessageBox::Cancel);
        escape->hide();
        cancel = escape;
    }
    box.setEscapeButton(cancel);
    box.setDefaultButton(qobject_cast<QPushButton*>(ok != nullptr ? ok : yes));
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (clicked == nullptr || clicked == cancel) {
        return MessageAnswer::Other;
    }
    if (clicked == ok) {
        return MessageAnswer::Ok;
    }
    if (clicked == yes) {
        return MessageAnswer::Yes;
    }
    if (clicked == no) {
        return MessageAnswer::No;
    }
    return MessageAnswer::Other;
}

void CQtPresenter::ScriptAnswers(std::deque<MessageAnswer> answers) {
    Script& script = TheScript();
    script.active = true;
    script.answers = std::move(answers);
}

void CQtPresenter::StopScripting() {
    Script& script = TheScript();
    script.active = false;
    script.answers.clear();
}

bool CQtPresenter::Scripting() {
    return TheScript().active;
}

std::vector<std::string> CQtPresenter::Shown() {
    return TheScript().shown;
}

void CQtPresenter::ClearShown() {
    TheScript().shown.clear();
}

}  // namespace pellandrix::ui
