// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reports/OpeningCheck.h"

#include <QDialog>

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
    // Points the drive list and the tree at dir (start-up, from the stored "Graphfile").
    void setDirectory(const QString& dir);

    // A reader's opening check ("Base inexistante" first); false when the reader's ready flag is to be cleared.
    bool checkBeforeReading();
    // The OK button's check of the selection, also run by a reader; false when the sender's ready flag is
    // cleared.
    bool checkSelection(reports::CheckSender sender = reports::CheckSender::OkButton);

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
    bool carryOut(const reports::CheckOutcome& outcome);
    void fillDrives();
    void showDirectory(const QString& dir);
    // The tree's model exists only while the chooser is shown.
    void attachModel();
    void detachModel();

    MessageBoxes& m_messages;
    QString m_storeRoot;
    QString m_selected;
    // Set while the model removes or reorders rows: the tree then moves its current row by itself.
    bool m_modelChanging = false;
    std::optional<QPoint> m_shownAt;     // where the frame stood when the chooser was last hidden
    QFileSystemModel* m_model = nullptr; // only while shown
    ChooserPeers m_peers;

    QComboBox* m_driveCombo = nullptr;
    QTreeView* m_folderTree = nullptr;
};
