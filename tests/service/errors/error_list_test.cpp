// The error list on real databases: filters, sorting and sending.

#include "data/data_module.h"
#include "errors_fixture.h"
#include "ftp_server.h"
#include "service/archiver.h"
#include "service/error_reports.h"

#include <QProcess>

using namespace talvora;
using namespace talvora::test;
using service::ErrorList;
using service::FilterConjunction;

namespace {

class ErrorListData : public ErrorDatabases {
protected:
    void SetUp() override
    {
        ErrorDatabases::SetUp();
        addStandardReports();
        dm = std::make_unique<data::TDM>(dbs.aliases());
        reports = std::make_unique<ErrorReports>(*dm);
        list = std::make_unique<ErrorList>(*dm);
        list->setArchiver(archiver.function());
        list->setUploader(std::make_unique<RecordingUploader>(uploads, false));
        list->setWorkingDirectory(work.path());
    }
    void TearDown() override
    {
        list.reset();
        reports.reset();
        dm.reset();
        ErrorDatabases::TearDown();
    }

    QStringList shown() { return sorted(column(*dm->Err_q)); }
    QString filter(const char* form, const char* status, FilterConjunction c = FilterConjunction::And)
    {
        return list->ApplyFilter(QString::fromUtf8(form), QString::fromUtf8(status), c);
    }

    QTemporaryDir work;
    RecordingArchiver archiver;
    RecordingUploader::Log uploads;
    std::unique_ptr<data::TDM> dm;
    std::unique_ptr<ErrorReports> reports;
    std::unique_ptr<ErrorList> list;
};

} // namespace

TEST_F(ErrorListData, FiltersSelectByStatusAndFormWithEitherConjunction)
{
    EXPECT_EQ(shown(), (QStringList{"a", "b", "c", "f"})); // statuses below 3
    list->FiltersShown();
    EXPECT_EQ(filter("3", "2"), QString());
    EXPECT_EQ(shown(), (QStringList{"b"}));
    EXPECT_EQ(filter("3", "2", FilterConjunction::Or), QString());
    EXPECT_EQ(shown(), (QStringList{"a", "b", "c", "d"}));
    // Status 3 finds what the unfiltered list never shows.
    EXPECT_EQ(filter("", "3"), QString());
    EXPECT_EQ(shown(), (QStringList{"d", "e"}));
    EXPECT_EQ(filter("6", ""), QString());
    EXPECT_EQ(shown(), (QStringList{"e"}));
    // A form nobody reported from.
    EXPECT_EQ(filter("9", "", FilterConjunction::Or), QString());
    EXPECT_EQ(shown(), QStringList());
    // The filtered rows are the live table's: a change is stored.
    EXPECT_EQ(filter("", "3"), QString());
    EXPECT_TRUE(dm->Err_q->locate(QStringLiteral("ErrName"), QStringLiteral("e")));
    dm->Err_q->edit();
    dm->Err_q->field(QStringLiteral("ErrStatus")).setValue(1);
    dm->Err_q->post();
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ErrStatus from Errors where ErrName = \"e\"")).toInt(), 1);
}

TEST_F(ErrorListData, BothFieldsEmptyShowWhatTheListShowedBeforeTheBandOpened)
{
    list->SortByColumn(QStringLiteral("ErrForm"));
    const QStringList before = column(*dm->Err_q);
    list->FiltersShown();
    EXPECT_EQ(filter("", "3"), QString());
    EXPECT_EQ(filter("", ""), QString());
    EXPECT_EQ(column(*dm->Err_q), before);
    EXPECT_EQ(filter("0", "0", FilterConjunction::Or), QString());
    EXPECT_EQ(column(*dm->Err_q), before);
    EXPECT_TRUE(dm->Err_q->active());
}

TEST_F(ErrorListData, AFieldInErrorLeavesTheListAsItWas)
{
    list->FiltersShown();
    ASSERT_EQ(filter("", "3"), QString());
    const QStringList statement = dm->Err_q->sql();
    EXPECT_EQ(filter("три", ""), QStringLiteral("Ошибка в поле форма"));
    EXPECT_EQ(filter("3", "2; drop table Errors"), QStringLiteral("Ошибка в поле статус"));
    EXPECT_EQ(filter("x", "y"), QStringLiteral("Ошибка в поле статус"));
    EXPECT_THROW(filter("4294967296", ""), Error);
    EXPECT_EQ(dm->Err_q->sql(), statement);
    EXPECT_EQ(shown(), (QStringList{"d", "e"}));
    EXPECT_EQ(dbs.scalar(QStringLiteral("select count(*) from Errors")).toInt(), 6);
}

TEST_F(ErrorListData, HidingTheBandPutsTheListBackAndSortingKeepsAFilter)
{
    list->FiltersShown();
    ASSERT_EQ(filter("3", "2", FilterConjunction::Or), QString());
    // A title click sorts the filtered rows; the condition stays.
    list->SortByColumn(QStringLiteral("ErrForm"));
    EXPECT_EQ(column(*dm->Err_q, "ErrForm"), (QStringList{"3", "3", "3", "4"}));
    list->SortByColumn(QStringLiteral("ErrName"));
    EXPECT_EQ(column(*dm->Err_q), (QStringList{"a", "b", "c", "d"}));

    list->FiltersHidden();
    EXPECT_EQ(shown(), (QStringList{"a", "b", "c", "f"}));
    // Unfiltered, a sort orders the list and still shows only statuses below 3.
    list->SortByColumn(QStringLiteral("ErrForm"));
    EXPECT_EQ(column(*dm->Err_q, "ErrForm"), (QStringList{"2", "3", "3", "4"}));
    // A field the list does not have: the list stays as it was.
    list->SortByColumn(QStringLiteral("NoSuchField"));
    EXPECT_EQ(column(*dm->Err_q, "ErrForm"), (QStringList{"2", "3", "3", "4"}));
}

TEST_F(ErrorListData, ARowSetToStatusThreeLeavesTheListIsFoundByTheFilterAndIsSent)
{
    ASSERT_TRUE(dm->Err_q->locate(QStringLiteral("ErrName"), QStringLiteral("a")));
    dm->Err_q->edit();
    dm->Err_q->field(QStringLiteral("ErrStatus")).setValue(3);
    dm->Err_q->post();
    list->SortByColumn(QStringLiteral("ErrName"));
    EXPECT_EQ(column(*dm->Err_q), (QStringList{"b", "c", "f"}));

    list->FiltersShown();
    ASSERT_EQ(filter("", "3"), QString());
    EXPECT_EQ(shown(), (QStringList{"a", "d", "e"}));

    list->SendReports();
    EXPECT_EQ(sorted(collected()), (QStringList{"a", "b", "c", "d", "e", "f"}));
}

TEST_F(ErrorListData, AReportSavedWhileTheListIsShownIsListedAtTheNextReading)
{
    reports->SaveReport(8, QStringLiteral("Калькулятор дозы: "), QStringLiteral("g"), QStringLiteral("нет"));
    list->SortByColumn(QStringLiteral("ErrName"));
    EXPECT_TRUE(column(*dm->Err_q).contains(QStringLiteral("Калькулятор дозы: g")));
}

TEST_F(ErrorListData, SendingAppendsToCollectedReportsUnderNewKeys)
{
    // Reports collected earlier, with the keys the workstation's reports have now.
    addReport(dbs.eee(), Report{"old 1", 5, 1}, QStringLiteral("первое собранное"));
    addReport(dbs.eee(), Report{"old 2", 5, 2}, QStringLiteral("второе собранное"));

    const ErrorList::SendOutcome outcome = list->SendReports();

    EXPECT_EQ(outcome.copied, 6);
    EXPECT_TRUE(outcome.deleted);
    EXPECT_TRUE(outcome.uploaded);
    EXPECT_EQ(collected(), (QStringList{"old 1", "old 2", "a", "b", "c", "d", "e", "f"}));
    EXPECT_EQ(collected("select ErrMem from Errors where ErrName = \"old 1\""), QStringList{"первое собранное"});
    // Every field of a report goes across.
    EXPECT_EQ(collected("select ErrForm || '|' || ErrStatus || '|' || ErrOwner || '|' || ErrProg || '|' || ErrVers "
                        "|| '|' || ErrMem from Errors where ErrName = \"c\""),
              QStringList{"4|2|WD-42|Talvora|230608|описание"});
    EXPECT_EQ(collected("select ErrDate from Errors where ErrName = \"c\""), QStringList{"2024-03-05"});
    EXPECT_EQ(collected("select count(distinct ErrID) from Errors"), QStringList{"8"});

    // The workstation keeps nothing; the list is open and empty.
    EXPECT_EQ(dbs.scalar(QStringLiteral("select count(*) from Errors")).toInt(), 0);
    EXPECT_TRUE(dm->Err_q->active());
    EXPECT_TRUE(dm->Err_q->isEmpty());
    EXPECT_TRUE(dm->Error_t->active());

    // Packed in the working directory and uploaded from there.
    const QString name = QStringLiteral("Err_") + QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")) +
                         QStringLiteral("_WD-42.7z");
    EXPECT_EQ(outcome.archiveName, name);
    ASSERT_EQ(archiver.calls.size(), 1);
    EXPECT_EQ(archiver.calls[0].mid(0, 2), (QStringList{"a", name}));
    EXPECT_EQ(QDir::cleanPath(QDir(work.path()).absoluteFilePath(archiver.calls[0].value(2))),
              QDir::cleanPath(dm->Errors->directory()));
    EXPECT_EQ(archiver.directories, QStringList{work.path()});
    EXPECT_EQ(uploads.files, QStringList{QDir(work.path()).filePath(name)});
    // The archiver found the error database closed.
    EXPECT_FALSE(dm->Errors->isOpen());
    EXPECT_EQ(dialogs.asked().size(), 0);

    // A report written after the sending is sent the next time, once.
    reports->SaveReport(3, QStringLiteral("Пациент: "), QStringLiteral("g"), QString());
    EXPECT_EQ(list->SendReports().copied, 1);
    EXPECT_EQ(collected().size(), 9);
}

TEST_F(ErrorListData, AnEditInTheListIsStoredBeforeSending)
{
    ASSERT_TRUE(dm->Err_q->locate(QStringLiteral("ErrName"), QStringLiteral("f")));
    dm->Err_q->edit();
    dm->Err_q->field(QStringLiteral("ErrName")).setValue(QStringLiteral("f исправлено"));
    list->SendReports();
    EXPECT_TRUE(collected().contains(QStringLiteral("f исправлено")));
}

TEST_F(ErrorListData, AFailedUploadIsToldWithTheFileToSendAndNothingIsLost)
{
    list->setUploader(std::make_unique<RecordingUploader>(uploads, true));
    const ErrorList::SendOutcome outcome = list->SendReports();
    EXPECT_FALSE(outcome.uploaded);
    EXPECT_EQ(outcome.uploadError, QStringLiteral("connection refused"));
    ASSERT_EQ(dialogs.asked().size(), 1);
    EXPECT_EQ(dialogs.asked()[0].kind, DialogKind::Error);
    EXPECT_EQ(dialogs.asked()[0].text, QStringLiteral("не удалось установить соединение с сервером errors.example\r\n"
                                                      "постарайтесь отправить разработчику файл ") +
                                           outcome.archiveName + QStringLiteral(" другим способом"));
    // The reports are collected, the archive is still there to send by hand.
    EXPECT_EQ(collected().size(), 6);
    EXPECT_TRUE(QFile::exists(QDir(work.path()).filePath(outcome.archiveName)));
}

TEST_F(ErrorListData, AnArchiverFailureEndsTheSendingWithTheReportsCollected)
{
    archiver.fail = true;
    EXPECT_THROW(list->SendReports(), Error);
    EXPECT_EQ(uploads.files, QStringList());
    EXPECT_EQ(collected().size(), 6);
    EXPECT_TRUE(dm->Err_q->active());
    EXPECT_TRUE(dm->Err_q->isEmpty());
}

TEST_F(ErrorListData, ACopyThatFailsMovesNothing)
{
    // The error database cannot be written: the reports stay where they are.
    dbs.eee().connection().exec(
        QStringLiteral("create trigger refuse before insert on Errors begin select raise(abort, 'full'); end"));
    EXPECT_THROW(list->SendReports(), std::exception);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select count(*) from Errors")).toInt(), 6);
    EXPECT_EQ(collected().size(), 0);
    EXPECT_EQ(shown(), (QStringList{"a", "b", "c", "f"}));
    EXPECT_EQ(archiver.calls.size(), 0);
}

TEST_F(ErrorListData, WithTheArchiverAndAnFtpServerTheArchiveArrivesWhole)
{
    LocalFtpServer server;
    ASSERT_EQ(server.startError(), QString());
    service::FtpErrorReportUploader::Settings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = server.port();
    list->setUploader(std::make_unique<service::FtpErrorReportUploader>(settings));
    list->setArchiver([](const QStringList& arguments, const QString& directory) {
        service::RunArchiver(arguments, directory);
    });

    const ErrorList::SendOutcome outcome = list->SendReports();
    ASSERT_TRUE(outcome.uploaded) << outcome.uploadError.toStdString();
    QFile local(QDir(work.path()).filePath(outcome.archiveName));
    QFile remote(QDir(server.root()).filePath(QStringLiteral("errors/") + outcome.archiveName));
    ASSERT_TRUE(local.open(QIODevice::ReadOnly));
    ASSERT_TRUE(remote.open(QIODevice::ReadOnly));
    const QByteArray bytes = local.readAll();
    EXPECT_GT(bytes.size(), 0);
    EXPECT_EQ(remote.readAll(), bytes);

    // The archive holds the error database.
    QProcess listing;
    listing.start(service::archiverProgram(), {QStringLiteral("l"), local.fileName()});
    ASSERT_TRUE(listing.waitForFinished(30000));
    EXPECT_TRUE(listing.readAllStandardOutput().contains("database.sqlite"));

    // The error database opens again for the next sending.
    reports->SaveReport(3, QStringLiteral("Пациент: "), QStringLiteral("g"), QString());
    EXPECT_EQ(list->SendReports().copied, 1);
    EXPECT_EQ(collected().size(), 7);
}
