#include "ui/base_dialog.h"

#include <QAbstractButton>
#include <QChildEvent>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

#include <cmath>

#include "store/database_location.h"
#include "ui/help_system.h"
#include "ui/icon_image_list.h"
#include "ui/pellandrix_app.h"

namespace pellandrix::ui {

namespace {

// Windows' dialog base units of a font: the average width of the 52 Latin
// letters (rounded as GetDialogBaseUnits does) and the character height.
QSize BaseUnits(const QFont& font) {
    const QFontMetrics fm(font);
    const int alphabet = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return QSize((alphabet / 26 + 1) / 2, fm.height());
}

// MulDiv(value, numerator, denominator): rounded to the nearest integer.
int MulDiv(int value, int numerator, int denominator) {
    return static_cast<int>(std::lround(static_cast<double>(value) * numerator / denominator));
}

bool IsMultiLineEditor(const QWidget* w) {
    for (const QWidget* p = w; p != nullptr && !p->isWindow(); p = p->parentWidget()) {
        if (qobject_cast<const QPlainTextEdit*>(p) != nullptr ||
            qobject_cast<const QTextEdit*>(p) != nullptr) {
            return true;
        }
    }
    return false;
}

std::string HelpFileForDialogs() {
    if (App() != nullptr) {
        return App()->HelpFilePath();
    }
    return FindHelpFile(CurrentDirectory());
}

}  // namespace

CBaseDialog::CBaseDialog(int resourceId, QWidget* parent)
    : QDialog(parent),
      helpId_(resourceId),
      resizer_(this),
      help_(new CHelpMode(*this,
                          [this](int id, QWidget* control) { ShowControlHelp(id, control); })) {
    setProperty("dialogId", resourceId);
    // The dialog sees every key event of its own window first, like
    // PreTranslateMessage: Enter → Tab, F1. The
    // filter sits on the dialog and on each of its widgets as it is added
    // (ChildAdded), so other windows' events never pass through it.
    installEventFilter(this);
    // Modal to its own window only: the windows it belongs to are blocked
    // while it runs, the help window (a window of its own) stays usable. A
    // dialog without a parent stays modal to the whole application.
    if (parent != nullptr) {
        setWindowModality(Qt::WindowModal);
    }
}

CBaseDialog::~CBaseDialog() = default;

// --- control ids ------------------------------------------------------------

void CBaseDialog::SetControlId(QWidget* w, int id) {
    if (w == nullptr) {
        return;
    }
    controls_[id] = w;
    w->setProperty("controlId", id);
    if (w->objectName().isEmpty()) {
        w->setObjectName(QStringLiteral("ctl%1").arg(id));
    }
}

QWidget* CBaseDialog::Control(int id) const {
    const auto it = controls_.find(id);
    if (it == controls_.end()) {
        return nullptr;
    }
    return it->second.data();
}

// --- dialog units -------------------------------------------------------------

int CBaseDialog::DialogUnitsX(int x) const {
    return MulDiv(x, BaseUnits(font()).width(), 4);
}

int CBaseDialog::DialogUnitsY(int y) const {
    return MulDiv(y, BaseUnits(font()).height(), 8);
}

QRect CBaseDialog::DialogRect(int x, int y, int w, int h) const {
    // Corners are converted one by one, as MapDialogRect does.
    const int left = DialogUnitsX(x);
    const int top = DialogUnitsY(y);
    const int right = DialogUnitsX(x + w);
    const int bottom = DialogUnitsY(y + h);
    return QRect(left, top, right - left, bottom - top);
}

void CBaseDialog::SetDialogSize(int w, int h) {
    const QSize size(DialogUnitsX(w), DialogUnitsY(h));
    if (resizing_) {
        resize(size);
    } else {
        setFixedSize(size);
    }
}

void CBaseDialog::EnableResizing(bool enable) {
    resizing_ = enable;
    if (enable) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        setFixedSize(size());
    }
}

// --- control table, layout --------------------------------------------------------

void CBaseDialog::RegisterControls(const ControlInfo* table) {
    table_ = table;
    for (const ControlInfo* row = table; row != nullptr && row->controlId != 0; ++row) {
        if (row->tooltip != nullptr) {
            if (QWidget* w = Control(row->controlId)) {
                w->setToolTip(QString::fromUtf8(row->tooltip));
            }
        }
    }
    resizer_.Record();
}

int CBaseDialog::HelpTopicOf(int controlId) const {
    for (const ControlInfo* row = table_; row != nullptr && row->controlId != 0; ++row) {
        if (row->controlId == controlId) {
            return row->helpTopic;
        }
    }
    return 0;
}

void CBaseDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (resizing_) {
        resizer_.Resize(width(), height());
    }
}

// --- icons -------------------------------------------------------------------------

void CBaseDialog::SetImageList(CIconImageList* list, std::vector<int>* iconSlots) {
    imageList_ = list;
    iconSlots_ = iconSlots;
}

void CBaseDialog::AddIcon(int slot, int iconResourceId) {
    if (imageList_ == nullptr || iconSlots_ == nullptr || slot < 0) {
        return;
    }
    const QIcon icon = LoadIconResource(iconResourceId);
    if (icon.isNull()) {
        return;
    }
    if (static_cast<int>(iconSlots_->size()) <= slot) {
        iconSlots_->resize(static_cast<std::size_t>(slot) + 1, -1);
    }
    (*iconSlots_)[static_cast<std::size_t>(slot)] = imageList_->Add(icon);
}

void CBaseDialog::SetButtonIcon(QAbstractButton* button, int slot) {
    if (button == nullptr || imageList_ == nullptr || iconSlots_ == nullptr || slot < 0 ||
        slot >= static_cast<int>(iconSlots_->size())) {
        return;
    }
    const QIcon icon = imageList_->Icon((*iconSlots_)[static_cast<std::size_t>(slot)]);
    if (icon.isNull()) {
        return;
    }
    QString caption = button->text();
    caption.remove(QLatin1Char('&')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (!caption.isEmpty()) {
        if (button->accessibleName().isEmpty()) {
            button->setAccessibleName(caption);
        }
        if (button->toolTip().isEmpty()) {
            button->setToolTip(caption);
        }
    }
    button->setText(QString());
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->update();
}

// --- standard buttons -----------------------------------------------------------

CBaseDialog::StandardButtons CBaseDialog::CreateOkCancelHelpButtons(const QRect& ok,
                                                                    const QRect& cancel,
                                                                    const QRect& help,
                                                                    std::function<void()> onOk) {
    auto* okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setGeometry(ok);
    okButton->setDefault(true);
    SetControlId(okButton, kOkId);
    connect(okButton, &QPushButton::clicked, this, std::move(onOk));

    auto* cancelButton = new QPushButton(QStringLiteral("Abbruch"), this);
    cancelButton->setGeometry(cancel);
    SetControlId(cancelButton, kCancelId);
    // reject() is virtual: a dialog that overrides it gets the click.
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* helpButton = new QPushButton(this);
    helpButton->setGeometry(help);
    helpButton->setAccessibleName(QStringLiteral("Hilfemodus"));
    SetControlId(helpButton, kHelpModeId);
    connect(helpButton, &QPushButton::clicked, this, [this] { ToggleHelpMode(); });
    if (App() != nullptr) {
        SetImageList(&App()->ImageList(), &App()->IconSlots());
        SetButtonIcon(helpButton, kHelpIconSlot);
    }
    // Without the icon (not loaded yet, or not loadable) the button would be
    // blank; a question mark still says what it does.
    if (helpButton->icon().isNull()) {
        helpButton->setText(QStringLiteral("?"));
    }
    return {okButton, cancelButton, helpButton};
}

// --- help --------------------------------------------------------------------------

void CBaseDialog::ShowControlHelp(int controlId, QWidget* control) {
    if (controlId == 0) {
        return;
    }
    const int topic = HelpTopicOf(controlId);
    if (topic == 0) {
        return;
    }
    const std::string html = HelpFileAt(HelpFileForDialogs()).TopicHtml(topic);
    if (html.empty()) {
        return;
    }
    ShowHelpPopup(control != nullptr ? control : this, QString::fromStdString(html));
}

void CBaseDialog::ShowDialogHelp() {
    if (App() != nullptr) {
        App()->WinHelp(0x20000 + helpId_);
    } else {
        ShowHelpWindow(HelpFileForDialogs(), DialogHelpTopic(helpId_));
    }
}

void CBaseDialog::WatchWidget(QObject* object) {
    // Another window (a nested dialog, a drop-down's popup) filters its own
    // events. A widget moved in from elsewhere brings its children along.
    if (!object->isWidgetType() || static_cast<QWidget*>(object)->isWindow()) {
        return;
    }
    object->installEventFilter(this);
    for (QObject* child : object->children()) {
        WatchWidget(child);
    }
}

bool CBaseDialog::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) {
        return QDialog::eventFilter(watched, event);
    }
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != this) {
        // Moved to another window, or made a window of its own, since it
        // was added: no longer this dialog's to filter.
        widget->removeEventFilter(this);
        return false;
    }
    switch (event->type()) {
        case QEvent::ChildAdded:
            WatchWidget(static_cast<QChildEvent*>(event)->child());
            break;
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            const auto mods = key->modifiers() & ~Qt::KeypadModifier;
            if (key->key() == Qt::Key_F1 && mods == Qt::NoModifier) {
                ShowDialogHelp();
                return true;
            }
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                (mods == Qt::NoModifier || mods == Qt::ShiftModifier) &&
                !IsMultiLineEditor(widget)) {
                // Enter moves the focus like Tab; it never presses the
                // default button.
                focusNextPrevChild(mods != Qt::ShiftModifier);
                return true;
            }
            break;
        }
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

void CBaseDialog::mousePressEvent(QMouseEvent* event) {
    // A click on the background (or on a label, which passes clicks on).
    LeaveHelpMode();
    QDialog::mousePressEvent(event);
}

void CBaseDialog::closeEvent(QCloseEvent* event) {
    LeaveHelpMode();
    QDialog::closeEvent(event);
}

void CBaseDialog::done(int result) {
    LeaveHelpMode();
    QDialog::done(result);
}

}  // namespace pellandrix::ui
