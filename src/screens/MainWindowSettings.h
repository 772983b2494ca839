#pragma once
// What the main window reads at start and writes at exit: its placement in section
// "Defaults" (in twips, as the settings file has always held it), the block size, the
// start options, the list bar order under "Listbar", and the one-time merge tag conversion.

#include <QRect>
#include <QString>
#include <QStringList>

namespace jet {
class Database;
}

namespace sendora {

struct AppContext;

constexpr int kTwipsPerPixel = 15;
enum WindowStateValue { WindowNormal = 0, WindowMinimised = 1, WindowMaximised = 2 };

struct WindowPlacement {
    QRect geometry; // pixels; empty when never saved
    int state = WindowMaximised;
};

WindowPlacement readWindowPlacement(AppContext& ctx);
// Position and size are left alone while the window is minimised.
void writeWindowPlacement(AppContext& ctx, const QRect& geometry, int state);

// GroupMailBlockSize (at least 1) and StartSDCentral into the in-memory settings.
void readMainWindowSettings(AppContext& ctx);
// GroupMailBlockSize, StartMaximized, WordWrapSize and ChangeMergeTags.
void writeExitSettings(AppContext& ctx);

// Group names in the order kept under "Listbar"; unknown names are dropped and missing
// ones keep their default place at the end.
QStringList readListbarOrder(AppContext& ctx, const QStringList& defaults);
void writeListbarOrder(AppContext& ctx, const QStringList& order);

// A new, empty list file in the temporary folder (temp/NewMailingList<n>.mdb); empty
// when it could not be made (the error is logged and shown).
QString createEmptyListFile(AppContext& ctx);

// Every file of the temporary folder.
void clearTemporaryFolder(AppContext& ctx);
// Read-only and hidden attributes off the system database.
void resetSystemDatabaseAttributes(AppContext& ctx);

// Edits the Message rows whose field contains the text (exact case), replacing every occurrence.
// Returns the number of rows changed.
int FindReplaceMergeTags(jet::Database& db, const QString& field, const QString& find,
                         const QString& replace);
// The one-time change of "<<field>>" tags into "[[field]]"; runs while ChangeMergeTags is false.
void UpdateExistingMessages(AppContext& ctx);

} // namespace sendora
