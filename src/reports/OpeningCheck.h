// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The test every statistics reader runs before it loads, and the folder chooser's OK button.
namespace reports
{
inline const QString kBaseMissing = QStringLiteral("Base inexistante");
inline const QString kOpening = QStringLiteral("Ouverture de l'interface :");
inline const QString kInvalidDescriptor = QStringLiteral("Fichier Statistiques invalide ou incompatible");
inline const QString kSearchByHand = QStringLiteral(
    "Le fichier Statistiques de l'interface est inexistant ou invalide. Voulez-vous le rechercher manuellement ?");
inline const QString kSelectFirst =
    QStringLiteral("Vous devez d'abord sélectionner l'interface dont vous voulez consulter les statistiques.");
inline const QString kChooseInterfaces =
    QStringLiteral("Vous devez choisir des interfaces à surveiller pour établir et afficher leurs statistiques.");
// Where nic.inf was looked for, said once before the question (%1: the folder, with a trailing separator).
inline const QString kLookedIn = QStringLiteral("Aucun fichier Statistiques (nic.inf) dans %1");
// The interface being recorded has no folder in the store yet (%1: its name).
inline const QString kNotRecordedYet = QStringLiteral(
    "Aucune statistique n'est encore enregistrée pour l'interface %1 : elles sont écrites toutes les cinq minutes.");
// Caption of the chooser's own boxes; plain messages carry the application title.
inline const QString kChooserCaption = QStringLiteral("VORP");

enum class CheckSender
{
    OkButton, // the chooser's "OK"
    Reader,   // a statistics window running its opening check
};

// What the check shows and does, carried out in this order:
// 1. enable the history graph window (when enableGraph);
// 2. each of messages as a plain information box;
// 3. when chooseInterfacesNotice: the notice kChooseInterfaces (caption "VORP", OK only), then the
//    configuration window on its first page;
// 4. when question is not empty: the question (caption "VORP", Retry and Cancel, no icon);
// 5. clear the sender's ready flag (when clearReady);
// 6. hide the chooser (when closeChooser);
// 7. show the chooser when the question was answered Retry.
struct CheckOutcome
{
    bool enableGraph = false;
    QStringList messages;
    bool chooseInterfacesNotice = false;
    QString question;
    bool clearReady = false;
    bool closeChooser = false;

    bool accepted() const { return !clearReady; }
};

// CheckMonitoredInterfaces: true when an item of the configuration window's list lb is checked;
// when it is false the caller shows kChooseInterfaces and the configuration window's first page.
bool CheckMonitoredInterfaces(const std::vector<bool>& lbChecked);

// Paths keep their case; both sides of a comparison go through this: absolute, clean, no trailing
// separator, symbolic links resolved when the path exists.
QString NormalisedPath(const QString& path);
bool SamePath(const QString& a, const QString& b);

// OKBtnClick's decision. selectedDir is the chooser's selected directory, storeRoot the program's
// folder for statistics, anyInterfaceChecked what CheckMonitoredInterfaces would answer.
CheckOutcome EvaluateOkBtnClick(CheckSender sender, const QString& selectedDir, const QString& storeRoot,
                                bool anyInterfaceChecked);

// A reader's opening check: "Base inexistante" when the directory does not exist, else OKBtnClick's
// decision with the reader as sender.
CheckOutcome EvaluateOpeningCheck(const QString& selectedDir, const QString& storeRoot, bool anyInterfaceChecked);

// Whether dir holds a nic.inf that the check accepts.
bool IsStatisticsFolder(const QString& dir);

// The statistics of the interface being recorded, for a chooser that nobody has pointed anywhere: under
// storeRoot, the folder whose nic.inf names the first interface checked for statistics that has one, else
// the first folder (by name) holding a valid nic.inf; nothing when the store holds none. names and marks are
// the interfaces and their statistics marks, by position.
std::optional<QString> RecordedInterfaceFolder(const QString& storeRoot, const QStringList& names,
                                               const std::vector<bool>& marks);

// What a reader's check says when RecordedInterfaceFolder found nothing: the statistics are not written yet,
// or no interface is checked (the notice and the configuration's first page).
CheckOutcome EvaluateNothingRecorded(const QStringList& names, const std::vector<bool>& marks);
} // namespace reports
