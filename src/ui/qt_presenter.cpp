#include "ui/qt_presenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

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
    box.setTextFormat(Qt::RichText);
    box.setText(BoxText(text));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
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

QString CQtPresenter::BoxText(const std::string& text) {
    // Qt breaks lines at hyphens and slashes too, which tears paths apart,
    // and it keeps a piece of text whole only as a paragraph of its own: a
    // path gets one, the blanks around it becoming its line breaks.
    static const QRegularExpression kPath(QStringLiteral("[ \\t]*(\\S*/\\S*)[ \\t]*"));
    const QString prose = QStringLiteral("<p style=\"margin:0; white-space:pre-wrap\">");
    const QString plain = QString::fromStdString(text);
    QString html = prose;
    qsizetype done = 0;
    for (const QRegularExpressionMatch& path : kPath.globalMatch(plain)) {
        html += plain.mid(done, path.capturedStart() - done).toHtmlEscaped() +
                QStringLiteral("</p><p style=\"margin:0; white-space:pre\">") +
                path.captured(1).toHtmlEscaped() + QStringLiteral("</p>") + prose;
        done = path.capturedEnd();
    }
    return html + plain.mid(done).toHtmlEscaped() + QStringLiteral("</p>");
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
