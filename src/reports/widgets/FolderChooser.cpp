// SPDX-License-Identifier: GPL-3.0-or-later
#include "reports/widgets/FolderChooser.h"

#include "common/widgets/MessageBoxes.h"
#include "common/widgets/Named.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFrame>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QStorageInfo>
#include <QTreeView>
#include <QWindow>

#include <algorithm>

using namespace reports;

FolderChooser::FolderChooser(MessageBoxes& messages, QString storeRoot, QWidget* parent)
    : QDialog(parent), m_messages(messages), m_storeRoot(std::move(storeRoot))
{
    setObjectName(QStringLiteral("dlBrowse"));
    setWindowTitle(QStringLiteral("Parcourir"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(201, 288);
    // The layout was made for an 8-point dialog font.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);
    setModal(false);

    auto* frame = Named(new QFrame(this), "Bevel1");
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(8, 8, 185, 249);

    m_driveCombo = Named(new QComboBox(this), "dcb1");
    m_driveCombo->setGeometry(16, 16, 169, 19);

    // The tree's model is made when the chooser opens and dropped when it closes: a file system model
    // watches and re-reads every folder it has listed, which a hidden window must not cost.
    m_folderTree = Named(new QTreeView(this), "do1");
    m_folderTree->setGeometry(16, 40, 169, 209);
    m_folderTree->setHeaderHidden(true);
    // Names are never cut short: a deep or long one scrolls sideways.
    m_folderTree->header()->setStretchLastSection(false);
    m_folderTree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* okButton = Named(new QPushButton(QStringLiteral("OK"), this), "OKBtn");
    okButton->setGeometry(23, 260, 75, 25);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, [this] { checkSelection(CheckSender::OkButton); });

    auto* cancelButton = Named(new QPushButton(QStringLiteral("Annuler"), this), "CancelBtn");
    cancelButton->setGeometry(103, 260, 75, 25);
    connect(cancelButton, &QPushButton::clicked, this, &FolderChooser::reject);

    fillDrives();
    connect(m_driveCombo, &QComboBox::currentIndexChanged, this, [this] {
        showSelectedDrive();
        m_chosen = true;
    });
    // Until a folder is chosen or stored, the chooser stands at the store root, where the statistics are.
    setDirectory(m_storeRoot);
    m_chosen = false;
}

namespace
{
// Whether a folder of path, or the path itself, is hidden (its name starts with a dot).
bool InHiddenFolder(const QString& path)
{
    const QStringList parts = QDir::cleanPath(path).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return std::any_of(parts.cbegin(), parts.cend(), [](const QString& part) {
        return part.startsWith(QLatin1Char('.')) && part != QLatin1String(".") && part != QLatin1String("..");
    });
}
} // namespace

void FolderChooser::attachModel()
{
    if (m_model)
        return;
    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    showHiddenFoldersWhenNeeded();
    m_model->setRootPath(QString());
    // When the current row goes (its folder deleted or renamed), the tree moves to a neighbour by
    // itself; that is not a choice. Connected before the tree, so that the flag is up before it moves.
    const auto modelChanging = [this] { m_modelChanging = true; };
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, modelChanging);
    connect(m_model, &QAbstractItemModel::rowsAboutToBeMoved, this, modelChanging);
    connect(m_model, &QAbstractItemModel::layoutAboutToBeChanged, this, modelChanging);
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, modelChanging);

    m_folderTree->setModel(m_model);
    for (int c = 1; c < m_model->columnCount(); ++c)
        m_folderTree->hideColumn(c);
    connect(m_folderTree->selectionModel(), &QItemSelectionModel::currentChanged, this, &FolderChooser::followTree);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &FolderChooser::resyncTree);
    connect(m_model, &QAbstractItemModel::rowsMoved, this, &FolderChooser::resyncTree);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, &FolderChooser::resyncTree);
    connect(m_model, &QAbstractItemModel::modelReset, this, &FolderChooser::resyncTree);
    // The folders are read in the background: once those on the way to the selection are listed, the tree
    // shows it, scrolled to; after that, or once the user moves, the tree is the user's to scroll.
    m_showingSelection = true;
    connect(m_model, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
        const QString folder = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
        if (!m_showingSelection || !m_selected.startsWith(folder))
            return;
        showDirectory(m_selected);
        if (QFileInfo(m_selected).path() == QDir::cleanPath(path))
            m_showingSelection = false;
    });

    const QString selected = m_selected;
    const QString root = m_driveCombo->currentData().toString();
    if (!root.isEmpty())
        m_folderTree->setRootIndex(m_model->index(root));
    showDirectory(selected);
}

void FolderChooser::detachModel()
{
    if (!m_model)
        return;
    QItemSelectionModel* selection = m_folderTree->selectionModel();
    m_folderTree->setModel(nullptr);
    delete selection; // the view leaves its old selection model to its owner
    delete m_model;
    m_model = nullptr;
    m_modelChanging = false;
}

void FolderChooser::followTree(const QModelIndex& current)
{
    if (!m_model || m_modelChanging || m_placingTree || !current.isValid())
        return;
    m_selected = QDir::cleanPath(m_model->filePath(current));
    m_chosen = true;
    m_showingSelection = false;
}

void FolderChooser::resyncTree()
{
    // A vanished selection stays selected ("Base inexistante" for the readers); the tree then shows
    // no current row rather than a neighbour the user did not choose.
    const QModelIndex current = m_folderTree->currentIndex();
    if (m_model && current.isValid() && !SamePath(m_model->filePath(current), m_selected))
    {
        m_folderTree->selectionModel()->clearSelection();
        m_folderTree->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    m_modelChanging = false;
}

void FolderChooser::fillDrives()
{
    m_driveCombo->clear();
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady() && m_driveCombo->findData(volume.rootPath()) < 0)
            m_driveCombo->addItem(volume.rootPath(), volume.rootPath());
}

void FolderChooser::showDirectory(const QString& dir)
{
    // The directory as given: the tree may spell it differently (a link resolved).
    m_selected = dir;
    showHiddenFoldersWhenNeeded();
    const QModelIndex index = m_model ? m_model->index(dir) : QModelIndex();
    if (index.isValid())
    {
        m_placingTree = true;
        m_folderTree->setCurrentIndex(index);
        m_folderTree->scrollTo(index, QAbstractItemView::PositionAtCenter);
        // Sideways too, so that the folder's name shows, its parent's branch beside it.
        const QRect item = m_folderTree->visualRect(index);
        const int textRight = item.left() + m_folderTree->fontMetrics().horizontalAdvance(m_model->fileName(index));
        if (item.left() < 0 || textRight > m_folderTree->viewport()->width())
        {
            QScrollBar* bar = m_folderTree->horizontalScrollBar();
            bar->setValue(bar->value() + item.left() - m_folderTree->indentation());
        }
        m_placingTree = false;
    }
}

void FolderChooser::setDirectory(const QString& dir)
{
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(dir));
    const QString root = QStorageInfo(clean).rootPath();
    const QSignalBlocker block(m_driveCombo);
    int i = m_driveCombo->findData(root);
    if (i < 0 && !root.isEmpty())
    {
        m_driveCombo->addItem(root, root);
        i = m_driveCombo->count() - 1;
    }
    m_driveCombo->setCurrentIndex(i);
    if (m_model && !root.isEmpty())
        m_folderTree->setRootIndex(m_model->index(root));
    showDirectory(clean);
    m_chosen = true;
}

void FolderChooser::setStoredDirectory(const QString& dir)
{
    if (!dir.isEmpty() && IsStatisticsFolder(dir))
        setDirectory(dir);
    else
    {
        setDirectory(m_storeRoot);
        m_chosen = false;
    }
}

void FolderChooser::showHiddenFoldersWhenNeeded()
{
    if (!m_model)
        return;
    const QDir::Filters filter =
        QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives |
        (InHiddenFolder(m_storeRoot) || InHiddenFolder(m_selected) ? QDir::Hidden : QDir::Filters());
    if (m_model->filter() != filter)
        m_model->setFilter(filter);
}

void FolderChooser::showSelectedDrive()
{
    const QString root = m_driveCombo->currentData().toString();
    if (root.isEmpty())
        return;
    if (m_model)
        m_folderTree->setRootIndex(m_model->index(root));
    showDirectory(QDir::cleanPath(root));
}

void FolderChooser::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
    {
        // Transient for the graph window it disables, so that the window manager keeps it above that
        // window (without an owner it would be transient for the application's hidden leader window).
        if (m_peers.graphWindow && windowHandle())
        {
            QWidget* owner = m_peers.graphWindow->window();
            owner->winId(); // the graph window may not have been shown yet
            windowHandle()->setTransientParent(owner->windowHandle());
        }
        // Back where the user left it: the frame's position, as pos() gave it at hiding.
        if (m_shownAt)
            move(*m_shownAt);
        else
            placeOverOwner();
        // Opened before any reader asked, it opens on the recorded interface's folder all the same.
        takeRecordedFolder();
        attachModel();
    }
    QDialog::showEvent(event);
}

void FolderChooser::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous())
    {
        m_shownAt = pos();
        detachModel();
    }
    QDialog::hideEvent(event);
}

void FolderChooser::reject()
{
    hide();
    if (m_peers.setGraphEnabled)
        m_peers.setGraphEnabled(true);
}

bool FolderChooser::anyInterfaceChecked() const
{
    return m_peers.monitoredInterfaces && CheckMonitoredInterfaces(m_peers.monitoredInterfaces());
}

void FolderChooser::takeRecordedFolder()
{
    if (m_chosen || !m_peers.monitoredInterfaces || !m_peers.interfaceNames)
        return;
    if (const auto folder =
            RecordedInterfaceFolder(m_storeRoot, m_peers.interfaceNames(), m_peers.monitoredInterfaces()))
        setDirectory(*folder);
}

bool FolderChooser::checkBeforeReading(QWidget* reader)
{
    takeRecordedFolder();
    if (!m_chosen && m_peers.monitoredInterfaces && m_peers.interfaceNames)
        return carryOut(EvaluateNothingRecorded(m_peers.interfaceNames(), m_peers.monitoredInterfaces()), reader);
    return carryOut(EvaluateOpeningCheck(m_selected, m_storeRoot, anyInterfaceChecked()), reader);
}

bool FolderChooser::checkSelection(CheckSender sender, QWidget* reader)
{
    if (sender == CheckSender::Reader)
    {
        takeRecordedFolder();
        if (!m_chosen && m_peers.monitoredInterfaces && m_peers.interfaceNames)
            return carryOut(EvaluateNothingRecorded(m_peers.interfaceNames(), m_peers.monitoredInterfaces()), reader);
    }
    return carryOut(EvaluateOkBtnClick(sender, m_selected, m_storeRoot, anyInterfaceChecked()), reader);
}

void FolderChooser::placeOverOwner()
{
    QWidget* owner = m_peers.graphWindow && m_peers.graphWindow->isVisible() ? m_peers.graphWindow->window()
                     : m_requester && m_requester->isVisible()               ? m_requester->window()
                                                                             : QApplication::activeWindow();
    if (!owner || owner == this || !owner->isVisible())
        return;
    QPoint at = owner->frameGeometry().center() - QPoint(width() / 2, height() / 2);
    if (const QScreen* screen = owner->screen())
    {
        const QRect area = screen->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - width())));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - height())));
    }
    move(at);
}

bool FolderChooser::carryOut(const CheckOutcome& outcome, QWidget* reader)
{
    if (outcome.enableGraph && m_peers.setGraphEnabled)
        m_peers.setGraphEnabled(true);
    // The boxes open over the chooser when it is open, else over the window that reads.
    QWidget* over = isVisible() ? this : reader;
    for (const QString& text : outcome.messages)
        m_messages.information(over, text);
    if (outcome.chooseInterfacesNotice)
    {
        m_messages.ask(over, kChooserCaption, kChooseInterfaces, QMessageBox::Ok);
        if (m_peers.showConfigurationFirstPage)
            m_peers.showConfigurationFirstPage();
    }
    bool retry = false;
    if (!outcome.question.isEmpty())
        retry = m_messages.ask(over, kChooserCaption, outcome.question, QMessageBox::Retry | QMessageBox::Cancel) ==
                QMessageBox::Retry;
    if (outcome.closeChooser)
        hide();
    if (retry)
    {
        if (!isVisible())
            m_requester = reader;
        show();
        raise();
    }
    return outcome.accepted();
}
