#include "ui/help_system.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ui/icon_image_list.h"

#ifndef PELLANDRIX_HELP_DATADIR
#define PELLANDRIX_HELP_DATADIR ""
#endif
#ifndef PELLANDRIX_HELP_SOURCEDIR
#define PELLANDRIX_HELP_SOURCEDIR ""
#endif

namespace pellandrix::ui {

int DialogHelpTopic(int dialogId) {
    switch (dialogId) {
        case 102:
            return 10000;
        case 104:
            return 20000;
        case 105:
            return 30000;
        default:
            return 0;
    }
}

std::string FindHelpFile(const std::string& startDir) {
    const std::string candidates[] = {startDir, PELLANDRIX_HELP_DATADIR, PELLANDRIX_HELP_SOURCEDIR};
    for (const std::string& dir : candidates) {
        if (dir.empty()) {
            continue;
        }
        const std::filesystem::path path = std::filesystem::path(dir) / kHelpFileName;
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) {
            return path.string();
        }
    }
    return {};
}

// --- the help file -------------------------------------------------------------

namespace {

std::string DecodeEntities(const std::string& text) {
    static const std::pair<const char*, const char*> kEntities[] = {
        {"&amp;", "&"},  {"&lt;", "<"},  {"&gt;", ">"},  {"&quot;", "\""},
        {"&nbsp;", " "}, {"&#39;", "'"}, {"&apos;", "'"}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        if (text[i] == '&') {
            for (const auto& [entity, value] : kEntities) {
                const std::string_view e(entity);
                if (text.compare(i, e.size(), e) == 0) {
                    out += value;
                    i += e.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) {
            out.push_back(text[i]);
            ++i;
        }
    }
    return out;
}

}  // namespace

bool CHelpFile::Load(const std::string& path) {
    path_ = path;
    topics_.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    const std::string html = buffer.str();
    static constexpr std::string_view kOpen = "<section id=\"topic-";
    static constexpr std::string_view kClose = "</section>";
    std::size_t pos = 0;
    while ((pos = html.find(kOpen, pos)) != std::string::npos) {
        std::size_t digits = pos + kOpen.size();
        int topic = 0;
        bool any = false;
        while (digits < html.size() &&
               std::isdigit(static_cast<unsigned char>(html[digits])) != 0) {
            topic = topic * 10 + (html[digits] - '0');
            ++digits;
            any = true;
        }
        const std::size_t tagEnd = html.find('>', digits);
        if (!any || tagEnd == std::string::npos) {
            pos = digits;
            continue;
        }
        const std::size_t end = html.find(kClose, tagEnd);
        if (end == std::string::npos) {
            break;
        }
        topics_[topic] = html.substr(tagEnd + 1, end - tagEnd - 1);
        pos = end + kClose.size();
    }
    return true;
}

std::string CHelpFile::TopicHtml(int topic) const {
    const auto it = topics_.find(topic);
    return it == topics_.end() ? std::string() : it->second;
}

std::string CHelpFile::TopicText(int topic) const {
    const std::string html = TopicHtml(topic);
    std::string text;
    bool inTag = false;
    for (char c : html) {
        if (c == '<') {
            inTag = true;
            text.push_back(' ');
        } else if (c == '>') {
            inTag = false;
        } else if (!inTag) {
            text.push_back(c);
        }
    }
    text = DecodeEntities(text);
    std::string collapsed;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\n' || c == '\r' || c == '\t';
        if (blank) {
            if (!collapsed.empty() && collapsed.back() != ' ') {
                collapsed.push_back(' ');
            }
        } else {
            collapsed.push_back(c);
        }
    }
    while (!collapsed.empty() && collapsed.back() == ' ') {
        collapsed.pop_back();
    }
    return collapsed;
}

std::vector<int> CHelpFile::Topics() const {
    std::vector<int> out;
    for (const auto& entry : topics_) {
        out.push_back(entry.first);
    }
    return out;
}

const CHelpFile& HelpFileAt(const std::string& path) {
    static CHelpFile file;
    static bool loaded = false;
    if (!loaded || file.Path() != path) {
        file.Load(path);
        loaded = true;
    }
    return file;
}

// --- the help window ---------------------------------------------------------------

namespace {

// The help window: a top-level window of its own, owned by no dialog, so
// that the modal dialogs (each modal to its own window only) leave it
// usable. Escape closes it, as it closes a dialog.
class CHelpWindow : public QTextBrowser {
  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            close();
            return;
        }
        QTextBrowser::keyPressEvent(event);
    }
};

QPointer<QTextBrowser>& HelpWindow() {
    static QPointer<QTextBrowser> window;
    return window;
}

QString& CurrentAnchor() {
    static QString anchor;
    return anchor;
}

}  // namespace

void ShowHelpWindow(const std::string& path, int topic) {
    QPointer<QTextBrowser>& window = HelpWindow();
    if (window.isNull()) {
        window = new CHelpWindow();
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setObjectName(QStringLiteral("helpWindow"));
        window->setWindowTitle(QStringLiteral("Pellandrix-Hilfe"));
        window->setWindowIcon(LoadIconResource(128));
        window->setOpenExternalLinks(true);
        window->resize(640, 560);
    }
    const QString anchor = QStringLiteral("topic-%1").arg(topic);
    CurrentAnchor() = anchor;
    if (path.empty()) {
        // No help file anywhere: the window says so (as the help system
        // would), the program goes on.
        window->setHtml(QStringLiteral("<h2>Pellandrix-Hilfe</h2><p>Die Hilfedatei %1 wurde nicht "
                                       "gefunden.</p>")
                            .arg(QString::fromUtf8(kHelpFileName)));
    } else {
        const QUrl url = QUrl::fromLocalFile(QString::fromStdString(path));
        if (window->source() != url) {
            window->setSource(url);
        }
        window->scrollToAnchor(anchor);
    }
    // Opened again while it lies behind a dialog, or minimised: to the front.
    if (window->isMinimized()) {
        window->showNormal();
    } else {
        window->show();
    }
    window->raise();
    window->activateWindow();
}

QTextBrowser* HelpWindowBrowser() {
    return HelpWindow().data();
}

QString HelpWindowAnchor() {
    return CurrentAnchor();
}

bool HelpWindowVisible() {
    return !HelpWindow().isNull() && HelpWindow()->isVisible();
}

// --- popups --------------------------------------------------------------------------

namespace {

QPointer<QLabel>& Popup() {
    static QPointer<QLabel> popup;
    return popup;
}

std::string PlainText(const QString& html) {
    QTextDocument doc;
    doc.setHtml(html);
    return doc.toPlainText().simplified().toStdString();
}

}  // namespace

void ShowHelpPopup(QWidget* control, const QString& html) {
    QPointer<QLabel>& popup = Popup();
    if (popup.isNull()) {
        popup = new QLabel();
        popup->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
        popup->setAttribute(Qt::WA_ShowWithoutActivating);
        popup->setObjectName(QStringLiteral("helpPopup"));
        popup->setWordWrap(true);
        popup->setTextFormat(Qt::RichText);
        popup->setMargin(6);
        popup->setFrameStyle(QFrame::Box | QFrame::Plain);
        popup->setStyleSheet(
            QStringLiteral("QLabel#helpPopup { background: #ffffe1; color: black; }"));
    }
    popup->setText(html);
    popup->setFixedWidth(340);
    popup->adjustSize();
    QPoint pos = control->mapToGlobal(QPoint(control->width() / 2, control->height() + 4));
    if (const QScreen* screen = control->screen()) {
        const QRect area = screen->availableGeometry();
        if (pos.x() + popup->width() > area.right()) {
            pos.setX(std::max(area.left(), area.right() - popup->width()));
        }
        if (pos.y() + popup->height() > area.bottom()) {
            pos.setY(
                std::max(area.top(), control->mapToGlobal(QPoint(0, 0)).y() - popup->height() - 4));
        }
    }
    popup->move(pos);
    popup->show();
    popup->raise();
    ShownHelpPopups().push_back(PlainText(html));
}

void HideHelpPopup() {
    if (!Popup().isNull()) {
        Popup()->hide();
    }
}

std::vector<std::string>& ShownHelpPopups() {
    static std::vector<std::string> shown;
    return shown;
}

bool HelpPopupVisible() {
    return !Popup().isNull() && Popup()->isVisible();
}

}  // namespace pellandrix::ui
