#include "synthetic_db.h"

#include "data/sqlite_db.h"
#include "db_tool.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace talvora::bench {

using namespace talvora::data;

namespace {

const char* const kSurnames[] = {"Иванов", "Петров", "Сидоров", "Кузнецов", "Смирнов", "Ёлкин", "Яковлев",
                                 "Андреев", "Борисов", "Волков", "Григорьев", "Дмитриев", "Жуков", "Зайцев"};

QString diagnosis(QRandomGenerator& r)
{
    static const char* const words[] = {"ОНМК", "по ишемическому типу", "в бассейне", "левой СМА", "гипертоническая",
                                        "болезнь", "остеохондроз", "поясничного", "отдела", "радикулопатия",
                                        "энцефалопатия", "дисциркуляторная", "II ст.", "цефалгия"};
    QString s;
    const int n = 6 + int(r.bounded(20));
    for (int i = 0; i < n; ++i)
        s += QString::fromUtf8(words[r.bounded(int(std::size(words)))]) + u' ';
    return s;
}

} // namespace

AliasResolver syntheticDatabase(const QString& directory, const SyntheticSize& size)
{
    AliasResolver aliases;
    aliases.setDirectory(QStringLiteral("pacientdata"), directory + QStringLiteral("/pacientdata"));
    aliases.setDirectory(QStringLiteral("Errors"), directory + QStringLiteral("/errors"));
    const QString marker = directory + QStringLiteral("/complete");
    if (QFileInfo::exists(marker))
        return aliases;
    QDir(directory).removeRecursively();
    QDir().mkpath(directory);
    tools::initDatabases(aliases, false);

    SqliteConnection db(aliases.databaseFile(QStringLiteral("pacientdata")), false);
    db.exec(QStringLiteral("PRAGMA synchronous=OFF"));
    QRandomGenerator r(20261209);
    SqliteTransaction tx(db);
    {
        auto st = db.prepare(QStringLiteral("INSERT INTO Otdelen (Oboln, Ootd) VALUES (?1, ?2)"));
        for (int d = 1; d <= size.departments; ++d) {
            st.reset();
            st.bindText(1, QStringLiteral("ГКБ №%1").arg(d));
            st.bindText(2, QStringLiteral("Отделение %1").arg(d));
            st.step();
            for (const char* t : {"Выписки", "Справки"}) {
                auto vt = db.prepare(QStringLiteral("INSERT INTO VipisType (VTName, VTOtd) VALUES (?1, ?2)"));
                vt.bindText(1, QString::fromUtf8(t));
                vt.bindInt64(2, d);
                vt.step();
            }
            for (const char* t : {"Выписки", "ЭЭГ", "МРТ"}) {
                auto sht = db.prepare(QStringLiteral("INSERT INTO SHablonType (ShTName, ShTotd) VALUES (?1, ?2)"));
                sht.bindText(1, QString::fromUtf8(t));
                sht.bindInt64(2, d);
                sht.step();
            }
        }
    }
    {
        auto st = db.prepare(QStringLiteral(
            "INSERT INTO Pacient (Pname, Phist, Potd, PdP, PdV, PdiaK, PdiaV, Palat, Pname_f, Pname_n, Pname_o, Pmale, PdB, "
            "PanM, Pnst, Psomat, Pjal, Precom) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18)"));
        for (int p = 0; p < size.patients; ++p) {
            st.reset();
            const QString surname = QString::fromUtf8(kSurnames[r.bounded(int(std::size(kSurnames)))]);
            const QDate pdp = QDate(2002, 1, 1).addDays(r.bounded(8000));
            st.bindText(1, surname + QStringLiteral(" И.П."));
            st.bindInt64(2, r.bounded(5000));
            st.bindInt64(3, 1 + p % size.departments);
            st.bindText(4, pdp.toString(Qt::ISODate));
            st.bindText(5, r.bounded(4) == 0 ? QStringLiteral("1899-12-30") : pdp.addDays(14).toString(Qt::ISODate));
            st.bindText(6, diagnosis(r));
            st.bindText(7, diagnosis(r));
            st.bindInt64(8, 1 + r.bounded(40));
            st.bindText(9, surname);
            st.bindText(10, QStringLiteral("Иван"));
            st.bindText(11, QStringLiteral("Петрович"));
            st.bindInt64(12, 1 + r.bounded(2));
            st.bindText(13, QDate(1930, 1, 1).addDays(r.bounded(25000)).toString(Qt::ISODate));
            const QString text = diagnosis(r).repeated(8);
            for (int c = 14; c <= 18; ++c)
                st.bindText(c, text);
            st.step();
        }
    }
    {
        QByteArray doc(size.documentBytes, '\0');
        for (int i = 0; i < doc.size(); ++i)
            doc[i] = char(r.bounded(256));
        auto st = db.prepare(QStringLiteral("INSERT INTO Vipis (Vpac, Vtype, Vdate, Vres) VALUES (?1, ?2, ?3, ?4)"));
        for (int v = 0; v < size.documents; ++v) {
            st.reset();
            st.bindInt64(1, 1 + v % size.patients);
            st.bindInt64(2, 1 + r.bounded(2 * size.departments));
            st.bindText(3, QStringLiteral("2020-01-01 10:00:00"));
            doc[0] = char(v);
            st.bindBlob(4, doc);
            st.step();
        }
    }
    {
        QByteArray doc(4096, 'x');
        auto st = db.prepare(QStringLiteral("INSERT INTO Issled (Ipac, Idate, Itype, Iname, Ires) VALUES (?1, ?2, ?3, ?4, ?5)"));
        for (int i = 0; i < size.investigations; ++i) {
            st.reset();
            st.bindInt64(1, 1 + r.bounded(size.patients));
            st.bindText(2, QStringLiteral("2020-01-01 10:00:00"));
            st.bindInt64(3, 1 + r.bounded(3 * size.departments));
            st.bindText(4, QStringLiteral("ЭЭГ"));
            st.bindBlob(5, doc);
            st.step();
        }
    }
    {
        auto st = db.prepare(QStringLiteral("INSERT INTO Nazn (Npac, Ntr, Nrej, Nname) VALUES (?1, ?2, ?3, ?4)"));
        for (int i = 0; i < size.prescriptions; ++i) {
            st.reset();
            st.bindInt64(1, 1 + r.bounded(size.patients));
            st.bindInt64(2, 1 + r.bounded(100));
            st.bindText(3, QStringLiteral("по 400 мг 3 раза в день"));
            st.bindText(4, QStringLiteral("Пирацетам"));
            st.step();
        }
    }
    tx.commit();
    QFile f(marker);
    f.open(QIODevice::WriteOnly);
    return aliases;
}

} // namespace talvora::bench
