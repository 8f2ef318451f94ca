// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reports/OpeningCheck.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class MessageBoxes;
class QComboBox;
class QFileSystemModel;
class QModelIndex;
class QTreeView;

// What the chooser reaches in other windows; filled by the object that creates the windows.
struct ChooserPeers
{
    std::function<void(bool)> setGraphEnabled;
    // The check marks of the configuration window's list lb.
    std::function<std::vector<bool>()> monitoredInterfaces;
    // Shows the configuration window on its first page ("Options Générales / Statistiques").
    std::function<void()> showConfigurationFirstPage;
    // The history graph window, which the chooser disables while it is open and so must stay above.
    QWidget* graphWindow = nullptr;
    // The interfaces by position (their display names), whose statistics marks monitoredInterfaces gives.
    std::function<QStringList()> interfaceNames;
};

// The statistics folder chooser "Parcourir": its selected directory is what every reader reads.
class FolderChooser final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FolderChooser)

public:
    FolderChooser(MessageBoxes& messages, QString storeRoot, QWidget* parent = nullptr);

    void setPeers(ChooserPeers peers) { m_peers = std::move(peers); }

    // The selected directory, its letter case kept, without a trailing separator.
    QString selectedDirectory() const { return m_selected; }
    // Points the drive list and the tree at dir: a choice, as the user's own.
    void setDirectory(const QString& dir);
    // The folder stored at the last run ("Graphfile"): chosen again when it still holds statistics; else the
    // chooser stays at the store root, as on a first run, for the readers to take the recorded interface.
    void setStoredDirectory(const QString& dir);
    // False until the user, setDirectory or a stored folder points the chooser somewhere: the readers then
    // take the folder of the interface being recorded.
    bool chosen() const { return m_chosen; }

    // A reader's opening check ("Base inexistante" first); false when the reader's ready flag is to be cleared.
    // reader is the window that reads, which the boxes open over while the chooser is hidden.
    bool checkBeforeReading(QWidget* reader = nullptr);
    // The OK button's check of the selection, also run by a reader; false when the sender's ready flag is
    // cleared.
    bool checkSelection(reports::CheckSender sender = reports::CheckSender::OkButton, QWidget* reader = nullptr);

protected:
    // "Annuler" and the Escape key: hides the chooser and gives the graph window back.
    void reject() override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // A user's move in the tree: with the drive list and setDirectory, the only ways the selected
    // directory changes.
    void followTree(const QModelIndex& current);
    // After the tree lost rows: its current row shows the selected directory, or nothing.
    void resyncTree();
    void showSelectedDrive();
    bool carryOut(const reports::CheckOutcome& outcome, QWidget* reader);
    // Nobody chose a folder yet: the recorded interface's one, when the store has it.
    void takeRecordedFolder();
    bool anyInterfaceChecked() const;
    // Hidden folders are listed when the store root or the selected folder lies in one.
    void showHiddenFoldersWhenNeeded();
    // Where the chooser opens the first time: over the graph window, else over the window that asked.
    void placeOverOwner();
    void fillDrives();
    void showDirectory(const QString& dir);
    // The tree's model exists only while the chooser is shown.
    void attachModel();
    void detachModel();

    MessageBoxes& m_messages;
    QString m_storeRoot;
    QString m_selected;
    bool m_chosen = false;
    // Set while the model removes or reorders rows, or the chooser itself moves the tree's current row: the
    // tree's move is then no choice.
    bool m_modelChanging = false;
    bool m_placingTree = false;
    bool m_showingSelection = false;     // the tree follows its loading until it shows the selection
    QPointer<QWidget> m_requester;       // the reader whose check showed the chooser
    std::optional<QPoint> m_shownAt;     // where the frame stood when the chooser was last hidden
    QFileSystemModel* m_model = nullptr; // only while shown
    ChooserPeers m_peers;

    QComboBox* m_driveCombo = nullptr;
    QTreeView* m_folderTree = nullptr;
};
