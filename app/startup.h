#pragma once

#include <QString>
#include <QStringList>

class QApplication;
class QSharedMemory;
class QTranslator;

// The steps the entry point takes before the main window exists. Each is
// its own function so that tests can drive them one at a time.
namespace startup {

inline constexpr char fontFamily[] = "Mensch";
inline constexpr char fontFile[] = "./font/mensch.ttf";
inline constexpr char translationBase[] = "./translations/app_";
inline constexpr char instanceKey[] = "SingleInstanceIdentify";

// Closing or hiding windows never ends the program: the tray keeps it alive.
void prepareApplication(QApplication &app);

// Adds the interface font file unless a family of that name is already
// known. Returns true when the file was handed to the font database.
bool ensureInterfaceFont(const QString &file = QString::fromLatin1(fontFile));

// Loads "./translations/app_<locale>" with Qt's usual fallbacks (app_de_DE,
// then app_de) and installs the translator whether or not a file was found.
// The caller owns the translator.
QTranslator *installTranslator(QApplication &app, const QString &localeName);

// Loads the toolkit's own texts for the locale (the buttons of message
// boxes, the file, colour and print dialogs) from Qt's translation folder
// and installs the translator whether or not a file was found. The caller
// owns the translator.
QTranslator *installToolkitTranslator(QApplication &app, const QString &localeName);

// True when an OpenGL context can be made on this display.
bool systemHasOpenGL();

// Takes the one-byte segment that marks a running instance. Returns null
// when another instance holds it. Segments left by a crashed instance are
// cleared first by attaching and detaching twice.
QSharedMemory *claimSingleInstance(const QString &key = QString::fromLatin1(instanceKey));

// Detaches and deletes the segment taken by claimSingleInstance().
void releaseSingleInstance(QSharedMemory *guard);

// Turns the arguments that name existing files into absolute paths in
// place, against the current directory, and returns them. Call it
// before the working directory changes.
QStringList absoluteFileArguments(int argc, char *argv[]);

// Gives the files to the instance that holds the guard, waiting for its
// socket while it is still starting. False when it never answers.
bool handOverToRunningInstance(const QStringList &files, int timeoutMs = 10000);
// Tells the user, on the error output and in a message box, that the
// running instance did not take the files.
void reportHandOverFailure(const QStringList &files);

} // namespace startup
