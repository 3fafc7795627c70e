#include "ui/messages_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <filesystem>

#include "store/database_location.h"
#include "ui/desktop_launcher.h"
#include "ui/pellandrix_app.h"
#include "ui/row_marks.h"

namespace pellandrix::ui {

namespace {

enum Column { kText, kPlace, kIncludedFrom };

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QString IncludeChain(const std::vector<SourcePlace>& places) {
    QStringList chain;
    for (std::size_t i = 1; i < places.size(); ++i) {
        chain << Q(PlaceText(places[i]));
    }
    return chain.join(QStringLiteral(", "));
}

std::string Absolute(const std::string& path) {
    const std::filesystem::path p(path);
    return p.is_absolute() ? path : (std::filesystem::path(CurrentDirectory()) / p).string();
}

}  // namespace

CMessagesWindow::CMessagesWindow(QWidget* parent, Launch launch, Check check)
    : QDialog(parent, Qt::Window), launch_(std::move(launch)), check_(std::move(check)) {
    setWindowTitle(QStringLiteral("Meldungen"));
    setModal(false);
    CreateControls();
    resize(720, 320);
}

void CMessagesWindow::CreateControls() {
    list_ = new QTreeWidget(this);
    list_->setAccessibleName(QStringLiteral("Meldungen"));
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setHeaderLabels(
        {QStringLiteral("Meldung"), QStringLiteral("Datei"), QStringLiteral("eingebunden von")});
    list_->header()->resizeSection(kText, 420);
    connect(list_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { OpenRow(list_->indexOfTopLevelItem(item)); });

    auto* copy = new QAction(QStringLiteral("&Kopieren"), this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this,
            [this] { QApplication::clipboard()->setText(CopyText()); });
    list_->addAction(copy);
    list_->setContextMenuPolicy(Qt::ActionsContextMenu);

    checkButton_ = new QPushButton(QStringLiteral("Projekt &prüfen"), this);
    removeStale_ = new QPushButton(QStringLiteral("veraltete Seiten &löschen"), this);
    removeStale_->setEnabled(false);
    auto* copyButton = new QPushButton(copy->text(), this);
    openAfterRun_ = new QCheckBox(QStringLiteral("nach einem Lauf mit Meldungen &öffnen"), this);
    openAfterRun_->setChecked(true);
    auto* close = new QPushButton(QStringLiteral("&Schließen"), this);
    connect(checkButton_, &QPushButton::clicked, this, [this] { CheckProject(false); });
    connect(removeStale_, &QPushButton::clicked, this, [this] { CheckProject(true); });
    connect(copyButton, &QPushButton::clicked, copy, &QAction::trigger);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    for (QPushButton* button : {checkButton_, removeStale_, copyButton, close}) {
        // Enter belongs to the list: it opens the row.
        button->setAutoDefault(false);
    }

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(checkButton_);
    buttons->addWidget(removeStale_);
    buttons->addWidget(copyButton);
    buttons->addStretch();
    buttons->addWidget(openAfterRun_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
}

void CMessagesWindow::BeginRun() {
    runRows_.clear();
    openStale_ = 0;
    removeStale_->setEnabled(false);
    Fill({});
}

void CMessagesWindow::AddRunMessage(MessageRow row) {
    runRows_.push_back(row);
    shown_.push_back(row);
    AddRow(row);
}

void CMessagesWindow::EndRun() {
    if (!runRows_.empty() && openAfterRun_->isChecked()) {
        show();
        raise();
    }
}

QString CMessagesWindow::MessagesOfTemplate(const std::string& templateFile) const {
    const auto wanted = std::filesystem::path(templateFile).lexically_normal();
    const std::string name = wanted.filename().string();
    QStringList texts;
    for (const MessageRow& row : runRows_) {
        // The outermost place is the template the run was generating; a
        // message without a place (a template that cannot be read) names
        // its file.
        const bool ours =
            row.places.empty()
                ? !name.empty() && row.text.find(name) != std::string::npos
                : std::filesystem::path(Absolute(row.places.back().path)).lexically_normal() ==
                      wanted;
        if (ours) {
            texts << Q(row.text);
        }
    }
    return texts.join(QLatin1Char('\n'));
}

void CMessagesWindow::ShowFindings(const std::vector<SiteFinding>& findings) {
    std::vector<MessageRow> rows;
    openStale_ = 0;
    for (const SiteFinding& finding : findings) {
        rows.push_back({false, finding.text, {{finding.file, finding.line}}});
        openStale_ += finding.kind == SiteFinding::Kind::StalePage && !finding.settled ? 1 : 0;
    }
    removeStale_->setEnabled(openStale_ > 0);
    if (rows.empty()) {
        rows.push_back({false,
                        "Keine Befunde: keine kaputten Verweise, keine veralteten Seiten, keine "
                        "fehlenden Einbindungen.",
                        {}});
    }
    Fill(std::move(rows));
}

void CMessagesWindow::Fill(std::vector<MessageRow> rows) {
    shown_ = std::move(rows);
    list_->clear();
    for (const MessageRow& row : shown_) {
        AddRow(row);
    }
}

void CMessagesWindow::AddRow(const MessageRow& row) {
    auto* item = new QTreeWidgetItem(list_);
    item->setText(kText, Q(row.text));
    if (!row.places.empty()) {
        item->setText(kPlace, Q(PlaceText(row.places.front())));
        item->setText(kIncludedFrom, IncludeChain(row.places));
    }
    if (row.error) {
        MarkErrorRow(*item, *list_, Q(row.text));
    }
    if (list_->currentItem() == nullptr) {
        list_->setCurrentItem(item);
    }
}

void CMessagesWindow::OpenRow(int row) {
    if (row < 0 || row >= static_cast<int>(shown_.size()) || shown_[row].places.empty()) {
        return;
    }
    const SourcePlace& place = shown_[row].places.front();
    const std::string file = Absolute(place.path);
    const LaunchCommand command = EditorCommandAt(AskDesktop(false, true), file, place.line);
    if (!launch_(command) && App() != nullptr) {
        App()->Core().Messages().ShowError(MessageId::kCannotStartProgram, command.program, file);
    }
}

QString CMessagesWindow::CopyText() const {
    QStringList lines;
    for (int i = 0; i < static_cast<int>(shown_.size()); ++i) {
        const QTreeWidgetItem* item = list_->topLevelItem(i);
        if (list_->selectedItems().isEmpty() || item->isSelected()) {
            lines << Q(PlacedMessage(shown_[i].text, shown_[i].places));
        }
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void CMessagesWindow::CheckProject(bool removeStale) {
    if (removeStale &&
        App()->Core().Messages().AskQuestion(MessageId::kRemoveStalePages, ButtonStyle::OkCancel,
                                             std::to_string(openStale_)) != MessageAnswer::Ok) {
        return;
    }
    if (const auto findings = check_(removeStale)) {
        ShowFindings(*findings);
    }
}

}  // namespace pellandrix::ui
