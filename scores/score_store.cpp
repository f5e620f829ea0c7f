#include "scores/score_store.h"

#include <cstdio>
#include <utility>

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "scores/ranking.h"
#include "scores/score_keys.h"
#include "scores/sound_setting.h"
#include "scores/store_lock.h"
#include "scores/store_settings.h"

namespace quillet {
namespace {

QString defaultFilePath() {
    // On Linux QSettings' native per-user store is an INI file under
    // $XDG_CONFIG_HOME (by default ~/.config), named after the organisation and
    // the application, with the path made absolute and cleaned. The same name
    // is put together here: building a QSettings only to ask would read the
    // whole file, and would wait for ever on a pipe in its place.
    const QString configHome =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir::cleanPath(
        QDir::current().absoluteFilePath(configHome + QStringLiteral("/Quillet/Quillet.conf")));
}

// The failure goes on one line, even when the path holds a line break.
void reportSaveFailure(const QString& path) {
    QString shown = path;
    for (QChar& c : shown) {
        if (c.category() == QChar::Other_Control) c = QLatin1Char('?');
    }
    std::fprintf(stderr, "quillet: could not save the high scores to %s\n",
                 shown.toLocal8Bit().constData());
    std::fflush(stderr);
}

}  // namespace

ScoreStore::ScoreStore() : ScoreStore(defaultFilePath()) {}

ScoreStore::ScoreStore(QString filePath) : m_filePath(std::move(filePath)) {}

QString ScoreStore::lockFilePath() const {
    // The name older versions of the game lock too, so that a save of theirs
    // and one of ours never overlap.
    return m_filePath + QStringLiteral(".merge-lock");
}

void ScoreStore::readSettings(const std::function<void(const QSettings&)>& read) const {
    readStoredSettings(m_filePath, read);
}

StoredSettings ScoreStore::read() const {
    StoredSettings stored;
    readSettings([&](const QSettings& settings) {
        stored.table = readTable(settings);
        stored.soundOn = soundOnIn(settings);
    });
    return stored;
}

void ScoreStore::load(HighScoreTable& table) const {
    table = read().table;
}

bool ScoreStore::changeSettings(const std::function<void(QSettings&)>& change,
                                const std::function<bool(const QSettings&)>& isStored) const {
    // QSettings locks the file too, but only for the moment of each write:
    // a read that decides what to write would fall outside it, and another
    // game's save could slip in between. So the whole read, change and write
    // happens under a lock of our own. The lock lies beside the store, so the
    // folder must exist before the lock can; the first save of a new user
    // creates it here. A game that holds the lock too long (a hung disk, a
    // stopped process) is waited for StoreLock::WaitMs and no longer, so the
    // player never waits long on another game.
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    StoreLock lock(lockFilePath());
    const bool saved = lock.lock() && replaceStoredSettings(m_filePath, change, isStored);
    if (!saved) reportSaveFailure(m_filePath);
    return saved;
}

bool ScoreStore::save(const HighScoreTable& table) const {
    // Writes what it is given, whatever the file holds now, so it needs no
    // lock: the replacing is atomic, and each game's scratch file its own.
    const HighScoreTable stored = storableTable(table);
    const bool saved = replaceStoredSettings(
        m_filePath, [&](QSettings& settings) { writeTable(settings, stored); },
        [&](const QSettings& back) { return sameTable(readTable(back), stored); });
    if (!saved) reportSaveFailure(m_filePath);
    return saved;
}

bool ScoreStore::mergeAndSave(const std::vector<ScoreEntry>& entries,
                              HighScoreTable& result) const {
    // The entries go into the table as the file holds it under the lock.
    HighScoreTable merged;
    const bool saved = changeSettings(
        [&](QSettings& settings) {
            merged = storableTable(mergeEntries(readTable(settings), entries));
            writeTable(settings, merged);
        },
        [&](const QSettings& back) { return sameTable(readTable(back), merged); });
    if (saved) result = merged;
    return saved;
}

}  // namespace quillet
