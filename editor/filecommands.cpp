#include "editor/filecommands.h"

#include "document/clock.h"
#include "document/journal.h"
#include "document/packformat.h"
#include "editor/backgroundwork.h"
#include "editor/recoveryoffer.h"

#include <QFileInfo>
#include <QLocale>

#include <optional>

namespace Wordloom {

FileCommands::FileCommands(QWidget &window, FileCommandsHost &host, Prompts &prompts, const Clock &clock,
    LanguagePack &pack)
    : mWindow(window)
    , mHost(host)
    , mPrompts(prompts)
    , mClock(clock)
    , mPack(pack)
    , mJournal(std::make_unique<Journal>(pack))
{
}

FileCommands::~FileCommands() = default;

void FileCommands::loadActionExecute()
{
    // Loading replaces the open pack, so unsaved work is asked about first.
    if (!checkUnsavedChanges())
        return;
    const QString path = mPrompts.openFile(OpenDialog1);
    if (path.isEmpty())
        return;
    openPath(path);
}

void FileCommands::openPath(const QString &path)
{
    OpenDialog1.fileName = path;
    if (loadPath(path))
        offerRecovery(path);
}

std::optional<PackContent> FileCommands::readInBackground(QWidget *window, const QString &path, const QString &label)
{
    return runWithProgress<PackContent>(window, label, QFileInfo(path).size(), [&path](Progress &progress) {
        PackContent content = LanguagePack::read(path, &progress);
        if (progress.cancelled)
            throw Cancelled();
        LanguagePack::countTranslations(content);
        return content;
    });
}

bool FileCommands::loadPath(const QString &path)
{
    // Reads everything before anything of the open pack changes.
    std::optional<PackContent> read = readInBackground(&mWindow, path, QStringLiteral("Languagepack wird geladen …"));
    if (!read) {
        mHost.showStatus(QStringLiteral("Laden abgebrochen"));
        return false;
    }
    const QStringList caseVariants = mPack.adopt(std::move(*read), path);
    mHost.showFreshPack(FileCommandsHost::Fresh::Loaded);
    // Names differing only in case are findings of the checks, not a box
    // on every load.
    if (caseVariants.isEmpty())
        mHost.showStatus(QStringLiteral("Languagepack geladen: ") + mPack.fileName());
    else
        mHost.showStatus(
            QStringLiteral("%1 Schlüssel unterscheiden sich nur in der Groß-/Kleinschreibung: siehe „Checks“")
                .arg(QLocale(QLocale::German).toString(caseVariants.size())));
    return true;
}

void FileCommands::offerRecovery(const QString &packPath)
{
    RecoveryOffer offer{mPrompts, mPack, *mJournal, [this](const QString &path) { return loadPath(path); },
        [this](const InfoValues &info) { createPack(info); }, [this] { return checkUnsavedChanges(); },
        [this](const QString &message) {
            mHost.showFreshPack(FileCommandsHost::Fresh::Recovered);
            mHost.showStatus(message);
        }};
    offer.run(packPath);
}

void FileCommands::saveActionExecute()
{
    mHost.commitInfoEdit();
    mHost.submitPendingEdits();
    if (mPack.path().isEmpty()) {
        saveasActionExecute();
        return;
    }
    // A version the user typed is written as typed.
    if (!mPack.isVersionEdited())
        bumpVersion();
    writePack(mPack.path());
}

void FileCommands::saveasActionExecute()
{
    mHost.commitInfoEdit();
    SaveDialog1.title = QStringLiteral("Speichern als...");
    SaveDialog1.filter = QStringLiteral("XML-Languagepack (*.xml)|*.xml");
    mHost.submitPendingEdits();
    SaveDialog1.fileName
        = !mPack.path().isEmpty() ? mPack.path() : proposedFileName(mPack.info(), QStringLiteral("xml"));
    const QString path = mPrompts.saveFile(SaveDialog1);
    if (path.isEmpty())
        return;
    SaveDialog1.fileName = path;
    if (QFileInfo::exists(path)
        && !mPrompts.confirm(QStringLiteral("Diese Datei existiert bereits. Soll die Datei überschrieben werden?")))
        return;
    writePack(path);
}

void FileCommands::writePack(const QString &path)
{
    stampDate();
    switch (mPack.state()) {
    case LanguagePack::State::NeverOpened:
        mPrompts.showInfo(QStringLiteral("Ooops...\nKein Languagepack geladen\nBitte erst neues Languagpack anlegen"));
        return;
    case LanguagePack::State::Empty:
        mPrompts.showInfo(
            QStringLiteral("Ooops...\nSpeichern fehlgeschlagen...\nBitte erst neues Languagpack anlegen"));
        return;
    case LanguagePack::State::Open: break;
    }
    // Throws before anything is marked saved; the old file stays intact.
    // The pack is written in the background.
    const qint64 existing = QFileInfo(mPack.path()).size();
    mHost.commitInfoEdit();
    const InfoValues info = mPack.info();
    const bool written = runWithProgress<bool>(&mWindow, QStringLiteral("Languagepack wird gespeichert …"),
        existing > 0 ? existing : 330 * qint64(mPack.keys().count()), [&](Progress &progress) {
            mPack.writeFile(path, info, &progress);
            return true;
        }).has_value();
    if (!written) {
        mHost.showStatus(QStringLiteral("Speichern abgebrochen"));
        return;
    }
    mPack.markWritten(path);
    mHost.showStatus(QStringLiteral("Gespeichert: ") + mPack.fileName());
    mHost.showWritten();
}

void FileCommands::setInfoValue(int row, const QString &value)
{
    mPack.setInfoValue(row, value);
}

void FileCommands::bumpVersion()
{
    setInfoValue(3, Wordloom::bumpVersion(mPack.info().version));
}

void FileCommands::stampDate()
{
    // Date and time are two readings of the clock.
    const QDate date = mClock.currentDate();
    const QTime time = mClock.currentTime();
    lastChange = QDateTime(date, time);
    setInfoValue(4, formatDateStamp(date, time));
}

bool FileCommands::checkUnsavedChanges()
{
    mHost.commitInfoEdit();
    if (mPack.isSaved() && !mHost.hasPendingEdits())
        return true;
    switch (mPrompts.askUnsavedChanges(QStringLiteral("Languagepack nicht gespeichert! Jetzt speichern?"))) {
    case UnsavedAnswer::Yes:
        saveActionExecute();
        // A Save As dialog the user cancelled cancels the command too.
        return mPack.isSaved();
    case UnsavedAnswer::No: return true;
    case UnsavedAnswer::Cancel: break;
    }
    return false;
}

void FileCommands::newFileExecute()
{
    if (!checkUnsavedChanges())
        return;
    setInfoValue(0, QStringLiteral("Unnamed"));
    setInfoValue(1, QStringLiteral("Package"));
    setInfoValue(2, QStringLiteral("Lang"));
    setInfoValue(3, QStringLiteral("1.0.0"));
    stampDate();
    createPack(mPack.info());
}

void FileCommands::createPack(const InfoValues &info)
{
    SaveDialog1.fileName.clear();
    mPack.create(info);
    mHost.showFreshPack(FileCommandsHost::Fresh::Created);
    mHost.showStatus(QStringLiteral("Neues Languagepack erstellt"));
}

void FileCommands::closeActionExecute()
{
    if (!checkUnsavedChanges())
        return;
    mPack.close();
    SaveDialog1.fileName.clear();
    mHost.showFreshPack(FileCommandsHost::Fresh::Closed);
    mHost.showStatus(QStringLiteral("Kein Languagepack geladen"));
}

} // namespace Wordloom
