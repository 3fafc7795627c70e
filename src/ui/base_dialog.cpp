#include "ui/base_dialog.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QChildEvent>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
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
    : QDialog(parent), helpId_(resourceId), resizer_(this) {
    setProperty("dialogId", resourceId);
    // The dialog sees every key and mouse event of its own window first,
    // like PreTranslateMessage: Enter → Tab, F1, help-mode tracking. The
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

CBaseDialog::~CBaseDialog() {
    if (HelpMode != 0) {
        HideHelpPopup();
    }
}

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

int CBaseDialog::ControlIdOf(const QWidget* w) {
    if (w == nullptr) {
        return 0;
    }
    const QVariant v = w->property("controlId");
    return v.isValid() ? v.toInt() : 0;
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

void CBaseDialog::SetButtonIcon(int controlId, int slot) {
    auto* button = ControlAs<QAbstractButton>(controlId);
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

void CBaseDialog::CreateOkCancelHelpButtons(const QRect& ok, const QRect& cancel, const QRect& help,
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
        SetButtonIcon(kHelpModeId, kHelpIconSlot);
    }
    // Without the icon (not loaded yet, or not loadable) the button would be
    // blank; a question mark still says what it does.
    if (helpButton->icon().isNull()) {
        helpButton->setText(QStringLiteral("?"));
    }
}

// --- help --------------------------------------------------------------------------

void CBaseDialog::SetHelpPointer(bool help) {
    if (help) {
        if (!savedPointers_.empty()) {
            return;
        }
        TrackHelpPointer(this);
        for (QWidget* w : findChildren<QWidget*>()) {
            if (!w->isWindow()) {
                TrackHelpPointer(w);
            }
        }
    } else {
        for (SavedPointer& saved : savedPointers_) {
            if (saved.widget.isNull()) {
                continue;
            }
            if (saved.hadCursor) {
                saved.widget->setCursor(saved.cursor);
            } else {
                saved.widget->unsetCursor();
            }
            saved.widget->setMouseTracking(saved.hadTracking);
        }
        savedPointers_.clear();
    }
}

void CBaseDialog::TrackHelpPointer(QWidget* w) {
    savedPointers_.push_back({QPointer<QWidget>(w), w->testAttribute(Qt::WA_SetCursor), w->cursor(),
                              w->hasMouseTracking()});
    w->setCursor(Qt::WhatsThisCursor);
    // Mouse tracking makes moves without a button reach the event filter, so
    // the help appears when the pointer arrives at a control.
    w->setMouseTracking(true);
}

void CBaseDialog::ToggleHelpMode() {
    if (HelpMode != 0) {
        SetHelpPointer(false);
        HideHelpPopup();
        HelpMode = 0;
    } else {
        SetHelpPointer(true);
        HelpMode = 1;
    }
    LastHelpControl = 0;
}

void CBaseDialog::LeaveHelpMode() {
    if (HelpMode == 0) {
        return;
    }
    SetHelpPointer(false);
    HideHelpPopup();
    HelpMode = 0;
    LastHelpControl = 0;
}

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
            if (HelpMode != 0) {
                HideHelpPopup();
            }
            break;
        }
        case QEvent::Enter:
        case QEvent::MouseMove: {
            if (HelpMode == 0) {
                break;
            }
            // The control under the pointer: the nearest widget with an id
            // (a list view's viewport belongs to the list view); 0 for the
            // dialog itself. It is found from the pointer's position, not
            // from the receiver: a button or check box ignores mouse moves,
            // and Qt then hands the same move on to the dialog, which must
            // not count as the pointer leaving the control.
            const QPoint global =
                static_cast<QSinglePointEvent*>(event)->globalPosition().toPoint();
            QWidget* control = childAt(mapFromGlobal(global));
            if (control == nullptr) {
                control = this;
            }
            while (control != this && control != nullptr && ControlIdOf(control) == 0) {
                control = control->parentWidget();
            }
            const int id = (control == nullptr || control == this) ? 0 : ControlIdOf(control);
            if (id != LastHelpControl) {
                LastHelpControl = id;
                if (id == 0) {
                    HideHelpPopup();
                } else {
                    ShowControlHelp(id, control);
                }
            }
            break;
        }
        case QEvent::MouseButtonPress:
            if (HelpMode != 0) {
                HideHelpPopup();
            }
            break;
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

// --- control operations by id --------------------------------------------------------

void CBaseDialog::EnableControl(int id, bool enable) {
    if (QWidget* w = Control(id)) {
        w->setEnabled(enable);
    }
}

void CBaseDialog::SetReadOnly(int id, bool readOnly) {
    QWidget* w = Control(id);
    if (w == nullptr) {
        return;
    }
    w->setEnabled(true);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setReadOnly(readOnly);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
        plain->setReadOnly(readOnly);
    } else if (auto* text = qobject_cast<QTextEdit*>(w)) {
        text->setReadOnly(readOnly);
    }
}

std::string CBaseDialog::GetControlText(int id) const {
    const QWidget* w = Control(id);
    QString text;
    if (w == nullptr) {
        return {};
    }
    if (auto* edit = qobject_cast<const QLineEdit*>(w)) {
        text = edit->text();
    } else if (auto* combo = qobject_cast<const QComboBox*>(w)) {
        text = combo->currentText();
    } else if (auto* button = qobject_cast<const QAbstractButton*>(w)) {
        text = button->text();
    } else if (auto* label = qobject_cast<const QLabel*>(w)) {
        text = label->text();
    } else if (auto* plain = qobject_cast<const QPlainTextEdit*>(w)) {
        text = plain->toPlainText();
    } else if (auto* rich = qobject_cast<const QTextEdit*>(w)) {
        text = rich->toPlainText();
    } else if (auto* group = qobject_cast<const QGroupBox*>(w)) {
        text = group->title();
    } else {
        text = w->windowTitle();
    }
    return text.toStdString();
}

void CBaseDialog::SetControlText(int id, std::string_view text) {
    QWidget* w = Control(id);
    if (w == nullptr) {
        return;
    }
    const QString value = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(value);
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (combo->isEditable()) {
            combo->setEditText(value);
        } else {
            combo->setCurrentIndex(
                combo->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive));
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(value);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(value);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
        plain->setPlainText(value);
    } else if (auto* rich = qobject_cast<QTextEdit*>(w)) {
        rich->setPlainText(value);
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        group->setTitle(value);
    } else {
        w->setWindowTitle(value);
    }
}

bool CBaseDialog::SelectComboText(int id, std::string_view text) {
    auto* combo = ControlAs<QComboBox>(id);
    if (combo == nullptr) {
        return false;
    }
    const int index =
        combo->findText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                        Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        return false;
    }
    combo->setCurrentIndex(index);
    return true;
}

void CBaseDialog::SelectComboIndex(int id, int index) {
    if (auto* combo = ControlAs<QComboBox>(id)) {
        combo->setCurrentIndex(index);
    }
}

int CBaseDialog::GetCheck(int id) const {
    const QWidget* w = Control(id);
    if (auto* box = qobject_cast<const QCheckBox*>(w)) {
        switch (box->checkState()) {
            case Qt::Checked:
                return 1;
            case Qt::PartiallyChecked:
                return 2;
            default:
                return 0;
        }
    }
    if (auto* button = qobject_cast<const QAbstractButton*>(w)) {
        return button->isChecked() ? 1 : 0;
    }
    return 0;
}

void CBaseDialog::SetCheck(int id, int state) {
    QWidget* w = Control(id);
    if (auto* box = qobject_cast<QCheckBox*>(w)) {
        if (state == 2) {
            box->setTristate(true);
            box->setCheckState(Qt::PartiallyChecked);
        } else {
            box->setCheckState(state != 0 ? Qt::Checked : Qt::Unchecked);
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setChecked(state != 0);
    }
}

void CBaseDialog::SelectListRow(int id, int row) {
    auto* view = ControlAs<QAbstractItemView>(id);
    if (view == nullptr || view->model() == nullptr || view->selectionModel() == nullptr) {
        return;
    }
    const QModelIndex index = view->model()->index(row, 0, view->rootIndex());
    if (!index.isValid()) {
        return;
    }
    view->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view->scrollTo(index);
}

}  // namespace pellandrix::ui
