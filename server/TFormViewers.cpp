#include "server/TFormViewers.h"

#include "base/seams/ExceptionDisplay.h"
#include "base/widgets/WindowStyles.h"
#include "server/PasswordHash.h"

#include <QHeaderView>
#include <QShowEvent>

#include <set>

TFormViewers::TFormViewers(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    windowstyle::UseCompactFont(this);
    const QSize size = sizeHint();
    windowstyle::DialogWithCloseBox(this, size.width(), size.height());
    windowstyle::ActsAsModalDialog(this);
    windowstyle::CentreOnScreen(this);
    ListViewers->header()->setStretchLastSection(false);
    ListViewers->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    ListViewers->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    ListViewers->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    ListViewers->header()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    connect(ButtonOK, &QPushButton::clicked, this, Guarded([this] { accept(); }));
    connect(ButtonCancel, &QPushButton::clicked, this, Guarded([this] { reject(); }));
    connect(ButtonAdd, &QPushButton::clicked, this, Guarded([this] { addViewer(); }));
    connect(ButtonRemove, &QPushButton::clicked, this, Guarded([this] { removeViewer(); }));
    connect(ButtonShare, &QPushButton::clicked, this, Guarded([this] {
                if (OnShare)
                    OnShare();
            }));
    connect(
        ListViewers, &QTreeWidget::currentItemChanged, this,
        Guarded<QTreeWidgetItem *>([this](QTreeWidgetItem *item) { choose(ListViewers->indexOfTopLevelItem(item)); }));
}

QString TFormViewers::StandIn() { return QString(8, QChar(0x2022)); }

void TFormViewers::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    windowstyle::OwnedBy(this, owner_);
    rows_.clear();
    for (const ViewerAccount &account : accounts_)
        rows_.push_back(Row{account, std::nullopt});
    current_ = rows_.empty() ? -1 : 0;
    LabelProblem->clear();
    fillList();
    showFields();
    (Edit_ViewerUser->text().isEmpty() ? Edit_ViewerUser : Edit_ViewerPassword)->setFocus();
    setOwnerEnabled(false);
}

QStringList TFormViewers::columnsOf(const ViewerAccount &account)
{
    return {account.name, account.mayWatchLive ? tr("yes") : tr("no"),
            account.mayWatchRecordings ? tr("yes") : tr("no")};
}

void TFormViewers::fillList()
{
    filling_ = true;
    ListViewers->clear();
    for (const Row &row : rows_)
        ListViewers->addTopLevelItem(new QTreeWidgetItem(columnsOf(row.account)));
    if (current_ >= 0)
        ListViewers->setCurrentItem(ListViewers->topLevelItem(current_));
    ButtonRemove->setEnabled(current_ >= 0);
    filling_ = false;
}

void TFormViewers::showFields()
{
    const Row empty;
    const Row &row = current_ >= 0 ? rows_[current_] : empty;
    Edit_ViewerUser->setText(row.account.name);
    Edit_ViewerPassword->setText(row.typedPassword                    ? *row.typedPassword
                                 : row.account.passwordHash.isEmpty() ? QString()
                                                                      : StandIn());
    CheckBox_Live->setChecked(row.account.mayWatchLive);
    CheckBox_Recordings->setChecked(row.account.mayWatchRecordings);
    CheckBox_Recorder->setChecked(row.account.recorder);
}

// What the fields hold goes into the viewer they show; with none listed, fields that hold
// something make the first one.
void TFormViewers::takeFields()
{
    const QString name = Edit_ViewerUser->text();
    const QString typed = Edit_ViewerPassword->text();
    if (current_ < 0) {
        if (name.isEmpty() && typed.isEmpty())
            return;
        rows_.push_back(Row{});
        current_ = static_cast<int>(rows_.size()) - 1;
    }
    Row &row = rows_[current_];
    row.account.name = name;
    const bool kept = typed == StandIn() && !row.account.passwordHash.isEmpty();
    row.typedPassword = kept ? std::nullopt : std::optional<QString>(typed);
    row.account.mayWatchLive = CheckBox_Live->isChecked();
    row.account.mayWatchRecordings = CheckBox_Recordings->isChecked();
    row.account.recorder = CheckBox_Recorder->isChecked();
}

void TFormViewers::choose(int row)
{
    if (filling_ || row == current_)
        return;
    takeFields();
    // The list is not refilled here: this runs while it tells of its own change.
    if (QTreeWidgetItem *item = ListViewers->topLevelItem(current_)) {
        const QStringList columns = columnsOf(rows_[current_].account);
        for (int column = 0; column < columns.size(); ++column)
            item->setText(column, columns[column]);
    }
    current_ = row;
    showFields();
    ButtonRemove->setEnabled(current_ >= 0);
}

void TFormViewers::addViewer()
{
    takeFields();
    rows_.push_back(Row{ViewerAccount{tr("viewer%1").arg(rows_.size() + 1), QString(), true, false}, QString()});
    current_ = static_cast<int>(rows_.size()) - 1;
    fillList();
    showFields();
    Edit_ViewerUser->selectAll();
    Edit_ViewerUser->setFocus();
}

void TFormViewers::removeViewer()
{
    if (current_ < 0)
        return;
    rows_.erase(rows_.begin() + current_);
    current_ = std::min(current_, static_cast<int>(rows_.size()) - 1);
    fillList();
    showFields();
}

std::optional<std::vector<ViewerAccount>> TFormViewers::chosenAccounts()
{
    takeFields();
    std::vector<ViewerAccount> chosen;
    std::set<QString> names;
    for (const Row &row : rows_) {
        const bool removed = row.typedPassword ? row.typedPassword->isEmpty() : row.account.passwordHash.isEmpty();
        if (removed)
            continue;
        if (!names.insert(row.account.name).second) {
            LabelProblem->setText(
                tr("Two viewers are called \"%1\": give each a name of its own.").arg(row.account.name));
            return std::nullopt;
        }
        if (row.account.recorder && !row.typedPassword && !recorderNames_.contains(row.account.name)) {
            LabelProblem->setText(
                tr("Type the password of \"%1\" once more: it is kept for recorders only from now on.")
                    .arg(row.account.name));
            return std::nullopt;
        }
        chosen.push_back(row.account);
    }
    // Only what is kept is hashed: each hash takes a noticeable moment.
    auto account = chosen.begin();
    for (const Row &row : rows_) {
        if (row.typedPassword ? row.typedPassword->isEmpty() : row.account.passwordHash.isEmpty())
            continue;
        if (row.typedPassword)
            account->passwordHash = passwordhash::Make(*row.typedPassword);
        if (row.typedPassword && row.account.recorder)
            recorderPasswords_[row.account.name] = row.typedPassword->toUtf8();
        ++account;
    }
    return chosen;
}

void TFormViewers::done(int result)
{
    recorderPasswords_.clear();
    if (result == QDialog::Accepted) {
        std::optional<std::vector<ViewerAccount>> chosen = chosenAccounts();
        if (!chosen)
            return;
        accounts_ = std::move(*chosen);
    }
    // Nothing keeps a password the user walked away from.
    rows_.clear();
    current_ = -1;
    Edit_ViewerPassword->clear();
    QDialog::done(result);
    setOwnerEnabled(true);
    if (result == QDialog::Accepted && OnChosen)
        OnChosen();
    recorderPasswords_.clear();
}

void TFormViewers::setOwnerEnabled(bool enabled)
{
    if (owner_)
        owner_->setEnabled(enabled);
}
