#include "platform/sqlite/sqlite_history_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "platform/sqlite/history_database.h"
#include "platform/sqlite/history_file.h"
#include "platform/sqlite/pending_history.h"

namespace tallyvane {
namespace {

// Some four days of three windows read every five minutes, under a megabyte of memory.
constexpr std::size_t maxPendingReadings = 4096;
constexpr std::chrono::seconds firstPause{30};
constexpr std::chrono::seconds longestPause{600};

constexpr const char* resumedText = "Historique rétabli : l'enregistrement reprend.";
constexpr const char* droppingText =
    "Historique en pause depuis longtemps : les mesures en attente les plus anciennes sont abandonnées.";

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

int fromErrno(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return SQLITE_FULL;
    case EACCES:
    case EPERM:
    case EROFS:
        return SQLITE_READONLY;
    default:
        return SQLITE_IOERR;
    }
}

bool damaged(int rc) { return rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB; }

std::string faultText(int rc, const std::string& path) {
    const std::string kept = " Les mesures sont gardées en attendant.";
    switch (rc) {
    case SQLITE_CANTOPEN_SYMLINK:
        return "Historique en pause : « " + path + " » ou son journal (-wal, -shm) est un lien symbolique, que Tallyvane "
               "ne suit pas. Remplacez-le par un fichier ordinaire." + kept;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "Historique verrouillé par un autre programme : les mesures seront enregistrées dès qu'il sera libéré.";
    case SQLITE_FULL:
        return "Historique en pause : le disque est plein." + kept;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
    case SQLITE_AUTH:
        return "Historique en pause : impossible d'écrire dans « " + folderOf(path) + " » (lecture seule ou accès refusé)." +
               kept;
    default:
        return "Historique en pause : erreur de lecture ou d'écriture dans « " + folderOf(path) + " »." + kept;
    }
}

// "yyyy-MM-dd" of `time` in UTC, as daily counts are keyed. Plain calendar arithmetic, so this thread never
// touches the C library's time-zone state, which ICU reloads on the main thread.
std::string utcDay(std::int64_t time) {
    using namespace std::chrono;
    const year_month_day date{floor<days>(sys_seconds(seconds(time)))};
    char day[32] = "";
    std::snprintf(day, sizeof day, "%04d-%02u-%02u", int(date.year()), unsigned(date.month()), unsigned(date.day()));
    return day;
}

}  // namespace

SqliteHistoryStore::SqliteHistoryStore(std::string path, std::function<void(const std::string&)> warn, SteadyNow now)
    : path_(std::move(path)), warn_(std::move(warn)), now_(std::move(now)) {}

SqliteHistoryStore::~SqliteHistoryStore() = default;

HistorySnapshot SqliteHistoryStore::load(std::int64_t since) {
    HistorySnapshot snapshot;
    if (run([&](HistoryDatabase& database) { return database.read(since, snapshot); })) settle();
    if (!pending_.empty()) overlayPending(snapshot, pending_, since);
    return snapshot;
}

void SqliteHistoryStore::write(HistoryBatch batch) {
    mergePending(pending_, std::move(batch));
    if (pending_.empty()) return;
    if (run([this](HistoryDatabase& database) { return database.store(pending_); })) {
        pending_ = {};
        dropSaid_ = false;
        settle();
    } else if (dropOldestReadings(pending_, maxPendingReadings) && !dropSaid_) {
        dropSaid_ = true;
        warn_(droppingText);
    }
}

void SqliteHistoryStore::prune(std::int64_t before) {
    const std::string firstKeptDay = utcDay(before);
    prunePending(pending_, before, firstKeptDay);
    if (run([&](HistoryDatabase& database) { return database.prune(before, firstKeptDay); })) settle();
}

bool SqliteHistoryStore::run(const std::function<int(HistoryDatabase&)>& operation) {
    if (pause_ > std::chrono::seconds(0) && now_() < retryAt_) return false;
    int rc = open();
    if (rc == SQLITE_OK) rc = operation(*database_);
    if (damaged(rc)) {
        if (database_) database_->keepLogsOnClose(true);
        database_.reset();
        const std::string aside = moveHistoryAside(path_, std::time(nullptr));
        if (aside.empty()) {
            rc = fromErrno(errno);
        } else {
            warn_("Historique illisible : mis de côté sous « " + aside + " », un nouvel historique commence.");
            rc = open();
            if (rc == SQLITE_OK) rc = operation(*database_);
        }
    }
    if (rc == SQLITE_OK) {
        pause_ = std::chrono::seconds(0);
        return true;
    }
    pause_ = std::clamp(pause_ * 2, firstPause, longestPause);
    retryAt_ = now_() + pause_;
    // A connection that failed may be left reading only or on a failed disk: the next try reopens.
    if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED) database_.reset();
    if (const std::string text = faultText(rc, path_); text != pausedBecause_) {
        pausedBecause_ = text;
        warn_(text);
    }
    return false;
}

int SqliteHistoryStore::open() {
    if (database_) return SQLITE_OK;
    if (const int error = createHistoryFile(path_); error != 0) return fromErrno(error);
    if (historyFileIsLink(path_)) return SQLITE_CANTOPEN_SYMLINK;
    // SQLite still refuses a link as the file, or as its logs, which it opens itself.
    const std::string resolved = throughLinkedFolders(path_);
    if (resolved.empty()) return fromErrno(errno);
    // Checking reads the whole file: once per file, not at every reopening after a fault.
    const auto file = fileIdentity(resolved);
    const int rc = HistoryDatabase::open(resolved, !file || file != checkedFile_, database_);
    if (rc == SQLITE_OK) checkedFile_ = file;
    return rc;
}

void SqliteHistoryStore::settle() {
    if (!pending_.empty() || pausedBecause_.empty()) return;
    pausedBecause_.clear();
    warn_(resumedText);
}

std::string historyPath(const std::string& home, const std::string& xdgDataHome) {
    std::string base;
    if (!xdgDataHome.empty() && xdgDataHome.front() == '/')
        base = xdgDataHome;
    else if (!home.empty())
        base = home + "/.local/share";
    else
        return {};
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base + "/tallyvane/history.sqlite3";
}

}  // namespace tallyvane
