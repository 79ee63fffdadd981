// The program is killed (SIGKILL) at random moments while it stores a
// patient's card, a document and a batch of prescriptions; after every kill
// the database must open, pass SQLite's integrity check, hold every write it
// reported as done, and hold each write whole or not at all.

#include "durable_writes.h"

#include "data/aliases.h"
#include "data/data_module.h"
#include "data/database.h"
#include "data/schema.h"
#include "data/sqlite_db.h"
#include "db_tool.h"
#include "patient/patient_register.h"
#include "ui/scripted_dialogs.h"
#include "word/document_io.h"
#include "word/document_text.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace talvora;
namespace dw = talvora::test::durability;

namespace {

// What the writer said it had committed, over all its runs.
struct Acknowledged {
    qint64 lastCard = -1;
    std::map<qint64, qint64> documents; // generation → key
    std::set<qint64> batches;
    qint64 lastAttempted = -1; // the highest generation a run may have begun
};

struct WriterRun {
    QStringList lines;
    bool killed = false;
    int exitCode = 0;
    qint64 readyAfterMs = 0;
    qint64 writingMs = 0; // from ready to exit (or to the kill)
};

class Durability : public ::testing::Test {
protected:
    Durability()
    {
        aliases.setDirectory(QString::fromLatin1(data::kWorkstationAlias), dw::workstationFolder(dir.path()));
        aliases.setDirectory(QString::fromLatin1(data::kErrorAlias), dw::errorsFolder(dir.path()));
        tools::initDatabases(aliases, false);
        data::Database db(QStringLiteral("setup"), QString::fromLatin1(data::kWorkstationAlias), QStringLiteral("PPP"),
                          data::workstationSchema(), aliases);
        db.open();
        db.execute(QStringLiteral("insert into Otdelen (Oboln, Ootd) values (\"ГКБ №1\", \"Неврология\")"), {});
        db.execute(QStringLiteral("insert into pacient (Pname, Pname_f, Pname_n, Pname_o, Potd, PdP, PdV, PdB, Pmale) "
                                  "values (\"Смирнова А.П.\", \"Смирнова\", \"Анна\", \"Петровна\", 1, \"01.02.2024\", "
                                  "\"30.12.1899\", \"12.03.1950\", 0)"),
                   {});
        db.execute(QStringLiteral("insert into TreatType (TrTname, TrTself) values (\"Сосудистые средства\", 0)"), {});
        db.execute(QStringLiteral("insert into TreatType (TrTname, TrTself) values (\"Антиагреганты\", 1)"), {});
        db.execute(QStringLiteral("insert into Treat (TrType, Tname_r, Tdose, Tkratn) values (2, \"Клопидогрел\", 1, 1)"), {});
    }

    // A runtime folder of the writer's own, as a desktop session gives one.
    QString runtimeDir() const
    {
        const QString path = dir.filePath(QStringLiteral("runtime"));
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    QString databaseFile() const { return aliases.databaseFile(QString::fromLatin1(data::kWorkstationAlias)); }

    // Runs the writer from generation `first`; kills it `killAfterMs` after
    // it is ready, or lets it write `count` generations when that is negative.
    WriterRun write(qint64 first, qint64 count, int killAfterMs)
    {
        WriterRun run;
        QProcess writer;
        writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
        writer.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        writer.start(QStringLiteral(TALVORA_CRASH_WRITER),
                     {dir.path(), QString::number(first), QString::number(count)});
        if (!writer.waitForStarted(10000)) {
            ADD_FAILURE() << "the writer does not start: " << writer.errorString().toStdString();
            return run;
        }
        QByteArray out;
        while (!out.contains("ready\n") && writer.state() == QProcess::Running && clock.elapsed() < 30000) {
            writer.waitForReadyRead(100);
            out += writer.readAllStandardOutput();
        }
        run.readyAfterMs = clock.elapsed();
        if (killAfterMs >= 0 && writer.state() == QProcess::Running) {
            QThread::msleep(unsigned(killAfterMs));
            writer.kill(); // SIGKILL: nothing of the writer runs after it
            run.killed = true;
        }
        writer.waitForFinished(60000);
        run.writingMs = clock.elapsed() - run.readyAfterMs;
        out += writer.readAllStandardOutput();
        run.exitCode = writer.exitStatus() == QProcess::NormalExit ? writer.exitCode() : -1;
        run.lines = QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
        return run;
    }

    // Takes the writes a run reported as committed into `ack`.
    static void acknowledge(const WriterRun& run, qint64 first, Acknowledged& ack)
    {
        qint64 lastBatch = first - 1;
        for (const QString& line : run.lines) {
            const QStringList w = line.split(u' ');
            if (w.at(0) == QLatin1String("card"))
                ack.lastCard = w.at(1).toLongLong();
            else if (w.at(0) == QLatin1String("document"))
                ack.documents[w.at(1).toLongLong()] = w.at(2).toLongLong();
            else if (w.at(0) == QLatin1String("batch"))
                ack.batches.insert(lastBatch = w.at(1).toLongLong());
            else
                EXPECT_EQ(line, "ready") << "the writer failed";
        }
        ack.lastAttempted = lastBatch + 1;
    }

    // The database as a fresh start of the program finds it.
    void expectWholeWrites(const Acknowledged& ack, const QString& when)
    {
        SCOPED_TRACE(when.toStdString());
        data::SqliteConnection db(databaseFile(), false);
        {
            auto check = db.prepare(QStringLiteral("PRAGMA integrity_check"));
            ASSERT_TRUE(check.step());
            ASSERT_EQ(check.text(0), "ok");
        }
        expectCard(db, ack);
        expectDocuments(db, ack);
        expectPrescriptions(db, ack);
    }

    void expectCard(const data::SqliteConnection& db, const Acknowledged& ack)
    {
        QString sql = QStringLiteral("select Phist, Palat, Pprof");
        for (const char* column : dw::kCardTexts)
            sql += QStringLiteral(", ") + QLatin1String(column);
        auto row = db.prepare(sql + QStringLiteral(" from pacient"));
        ASSERT_TRUE(row.step());
        if (row.isNull(0)) { // never stored: the texts are as they were made
            EXPECT_EQ(ack.lastCard, -1) << "a stored card is lost";
            for (int c = 1; c < row.columnCount(); ++c)
                EXPECT_EQ(row.text(c), "") << row.columnName(c).toStdString();
            return;
        }
        const qint64 g = row.int64(0);
        EXPECT_GE(g, ack.lastCard) << "a stored card is lost";
        EXPECT_LE(g, ack.lastAttempted);
        EXPECT_EQ(row.int64(1), dw::wardOf(g));
        EXPECT_EQ(row.text(2), dw::professionText(g));
        for (int c = 3; c < row.columnCount(); ++c)
            EXPECT_EQ(row.text(c), dw::cardText(dw::kCardTexts[c - 3], g))
                << "the card is torn: " << row.columnName(c).toStdString() << " is not of generation " << g;
        EXPECT_FALSE(row.step()) << "one patient only";
    }

    void expectDocuments(const data::SqliteConnection& db, const Acknowledged& ack)
    {
        std::map<qint64, qint64> found; // generation → key
        auto rows = db.prepare(QStringLiteral("select VID, Vres from Vipis"));
        while (rows.step()) {
            const qint64 key = rows.int64(0);
            ASSERT_FALSE(rows.isNull(1)) << "document " << key << " was stored without its body";
            QString text;
            try {
                text = word::plainText(word::documentFromBlob(rows.blob(1))).trimmed();
            } catch (const std::exception& e) {
                FAIL() << "document " << key << " cannot be read: " << e.what();
            }
            const qint64 g = dw::generationOf(text);
            ASSERT_GE(g, 0) << "document " << key << " is not one the writer made";
            EXPECT_EQ(text, dw::documentText(g).trimmed()) << "document " << key << " is torn";
            EXPECT_TRUE(found.emplace(g, key).second) << "generation " << g << " stored twice";
            EXPECT_LE(g, ack.lastAttempted);
        }
        for (const auto& [g, key] : ack.documents) {
            const auto it = found.find(g);
            ASSERT_NE(it, found.end()) << "the stored document of generation " << g << " is lost";
            EXPECT_EQ(it->second, key);
        }
    }

    void expectPrescriptions(const data::SqliteConnection& db, const Acknowledged& ack)
    {
        std::map<qint64, std::set<QString>> batches;
        auto rows = db.prepare(QStringLiteral("select Nrej from Nazn"));
        while (rows.step()) {
            const QString regimen = rows.text(0);
            const qint64 g = dw::generationOf(regimen);
            ASSERT_GE(g, 0) << "a prescription of an unfinished batch is left: " << regimen.toStdString();
            EXPECT_TRUE(batches[g].insert(regimen).second) << regimen.toStdString() << " twice";
        }
        for (const auto& [g, regimens] : batches) {
            QStringList seen(regimens.begin(), regimens.end());
            for (int i = 1; i <= dw::kBatchSize; ++i)
                seen.removeOne(dw::regimenText(g, i));
            EXPECT_TRUE(regimens.size() == std::size_t(dw::kBatchSize) && seen.isEmpty())
                << "batch " << g << " is torn: " << regimens.size() << " of " << dw::kBatchSize << " rows";
            EXPECT_LE(g, ack.lastAttempted);
        }
        for (qint64 g : ack.batches)
            EXPECT_TRUE(batches.count(g)) << "the stored batch " << g << " is lost";
    }

    QTemporaryDir dir;
    data::AliasResolver aliases;
};

TEST_F(Durability, AWriterLeftAloneStoresEveryGenerationWhole)
{
    const WriterRun run = write(1, 3, -1);
    ASSERT_EQ(run.exitCode, 0) << run.lines.join(u'\n').toStdString();
    EXPECT_EQ(run.lines.size(), 1 + 3 * 3) << run.lines.join(u'\n').toStdString();
    Acknowledged ack;
    acknowledge(run, 1, ack);
    EXPECT_EQ(ack.lastCard, 3);
    EXPECT_EQ(ack.documents.size(), 3u);
    EXPECT_EQ(ack.batches, (std::set<qint64>{1, 2, 3}));
    expectWholeWrites(ack, QStringLiteral("after a clean run"));
}

TEST_F(Durability, KilledAtRandomMomentsEveryWriteIsWholeOrAbsent)
{
    // The time of a few generations, so that the kills fall among the writes.
    const WriterRun warmUp = write(1, 3, -1);
    ASSERT_EQ(warmUp.exitCode, 0) << warmUp.lines.join(u'\n').toStdString();
    Acknowledged ack;
    acknowledge(warmUp, 1, ack);
    const int window = int(std::clamp<qint64>(warmUp.writingMs, 30, 1500));

    constexpr int kKills = 40;
    constexpr qint64 kBudgetMs = 50000;
    const quint32 seed = QRandomGenerator::global()->generate();
    SCOPED_TRACE("random seed " + std::to_string(seed));
    QRandomGenerator random(seed);
    QElapsedTimer clock;
    clock.start();
    int kills = 0, insideWrites = 0;
    while (kills < kKills && clock.elapsed() < kBudgetMs && ack.lastAttempted + 500 < dw::kLastGeneration) {
        const qint64 first = ack.lastAttempted + 1;
        const int delay = int(random.bounded(window + 1));
        const WriterRun run = write(first, dw::kLastGeneration, delay);
        ASSERT_TRUE(run.killed) << "the writer stopped by itself: " << run.lines.join(u'\n').toStdString();
        ++kills;
        // A journal left behind: the kill fell inside a transaction.
        if (QFileInfo(databaseFile() + QStringLiteral("-journal")).size() > 0)
            ++insideWrites;
        acknowledge(run, first, ack);
        expectWholeWrites(ack, QStringLiteral("kill %1, %2 ms after ready").arg(kills).arg(delay));
        if (HasFatalFailure() || HasNonfatalFailure())
            return;
    }
    EXPECT_GE(kills, 5) << "too few kills in the time given";
    EXPECT_FALSE(ack.batches.empty());
    RecordProperty("kills", kills);
    RecordProperty("kills_inside_a_transaction", insideWrites);
    std::printf("%d kills, %d inside a transaction, %zu batches and %zu documents stored\n", kills, insideWrites,
                ack.batches.size(), ack.documents.size());

    // The program works on with what it finds: the card shows the last stored generation.
    ScriptedDialogs dialogs;
    data::TDM dm(aliases);
    patient::PatientRegister patients(dm);
    patients.RefreshPatientList();
    EXPECT_GE(patients.loadedCard().history.toLongLong(), ack.lastCard);
    EXPECT_TRUE(dialogs.asked().isEmpty());
}

} // namespace
