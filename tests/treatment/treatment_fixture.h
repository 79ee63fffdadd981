#pragma once
// A workstation database with a department, its template types and
// templates, a patient, a small drug reference; the data module over it and
// scripted dialogs.

#include "common/program_state.h"
#include "data/data_module.h"
#include "temp_databases.h"
#include "ui/scripted_dialogs.h"
#include "word/document.h"
#include "word/document_io.h"
#include "word/document_text.h"

#include <QTextCursor>

#include <gtest/gtest.h>

namespace talvora::test {

class TreatmentData : public ::testing::Test {
protected:
    TreatmentData()
    {
        programSwitches() = {};
        dbs.sql(QStringLiteral("insert into Otdelen (Oboln, Ootd) values (\"ГКБ №1\", \"Неврология\")"));
        department = lastKey(QStringLiteral("OID"), QStringLiteral("Otdelen"));
        laboratory = addTemplateType(QStringLiteral("Лабораторные исследования"));
        instrumental = addTemplateType(QStringLiteral("Инструментальные исследования"));
        patient = addPatient(QStringLiteral("Смирнова"), 70);
        vascular = addTreatType(QStringLiteral("Сосудистые средства"), 0);
        antiplatelets = addTreatType(QStringLiteral("Антиагреганты"), vascular);
        aspirin = addDrug(antiplatelets, QStringLiteral("Ацетилсалициловая к-та"), 1, 1);
        clopidogrel = addDrug(antiplatelets, QStringLiteral("Клопидогрел"), QVariant(), QVariant());
    }

    int lastKey(const QString& key, const QString& table)
    {
        return dbs.scalar(QStringLiteral("select max(%1) from %2").arg(key, table)).toInt();
    }

    int addTemplateType(const QString& name)
    {
        data::Params p;
        p.set(QStringLiteral("n"), name);
        dbs.sql(QStringLiteral("insert into SHablonType (ShTName, ShTotd) values (:n, %1)").arg(department), p);
        return lastKey(QStringLiteral("ShTID"), QStringLiteral("SHablonType"));
    }

    // A template whose document is one paragraph of text.
    int addTemplate(int type, const QString& name, const QString& text)
    {
        data::Params p;
        p.set(QStringLiteral("n"), name);
        p.set(QStringLiteral("r"), blobOf(text));
        dbs.sql(QStringLiteral("insert into SHablon (ShType, ShOtd, ShName, ShRes) values (%1, %2, :n, :r)")
                    .arg(type)
                    .arg(department),
                p);
        return lastKey(QStringLiteral("ShId"), QStringLiteral("SHablon"));
    }

    int addInvestigation(int type, const QString& name, const QString& text, const QString& date = QStringLiteral("05.02.2024"))
    {
        data::Params p;
        p.set(QStringLiteral("n"), name);
        p.set(QStringLiteral("r"), blobOf(text));
        dbs.sql(QStringLiteral("insert into Issled (Ipac, Idate, Itype, Iname, Ires) values (%1, \"%2\", %3, :n, :r)")
                    .arg(patient)
                    .arg(date)
                    .arg(type),
                p);
        return lastKey(QStringLiteral("Iid"), QStringLiteral("Issled"));
    }

    int addPatient(const QString& surname, int weight)
    {
        data::Params p;
        p.set(QStringLiteral("n"), surname + QStringLiteral(" А.П."));
        p.set(QStringLiteral("f"), surname);
        dbs.sql(QStringLiteral("insert into pacient (Pname, Pname_f, Pname_n, Pname_o, Potd, PdP, PdV, PdB, Phist, Pmale, Pves) "
                               "values (:n, :f, \"Анна\", \"Петровна\", %1, \"01.02.2024\", \"30.12.1899\", \"12.03.1950\", 17, 0, %2)")
                    .arg(department)
                    .arg(weight),
                p);
        return lastKey(QStringLiteral("PID"), QStringLiteral("pacient"));
    }

    int addTreatType(const QString& name, int parent)
    {
        data::Params p;
        p.set(QStringLiteral("n"), name);
        dbs.sql(QStringLiteral("insert into TreatType (TrTname, TrTself) values (:n, %1)").arg(parent), p);
        return lastKey(QStringLiteral("TrTid"), QStringLiteral("TreatType"));
    }

    int addDrug(int group, const QString& name, const QVariant& dose, const QVariant& intakes)
    {
        data::Params p;
        p.set(QStringLiteral("n"), name);
        p.set(QStringLiteral("d"), dose);
        p.set(QStringLiteral("k"), intakes);
        dbs.sql(QStringLiteral("insert into Treat (TrType, Tname_r, Tdose, Tkratn) values (%1, :n, :d, :k)").arg(group), p);
        return lastKey(QStringLiteral("Tid"), QStringLiteral("Treat"));
    }

    static QByteArray blobOf(const QString& text)
    {
        word::Document doc;
        QTextCursor(&doc.text()).insertText(text);
        return word::blobFromDocument(doc);
    }

    static QString textOf(const QByteArray& blob)
    {
        return word::plainText(word::documentFromBlob(blob)).trimmed();
    }

    int count(const QString& statement) { return dbs.scalar(statement).toInt(); }

    TempDatabases dbs;
    ScriptedDialogs dialogs;
    int department = 0, laboratory = 0, instrumental = 0, patient = 0;
    int vascular = 0, antiplatelets = 0, aspirin = 0, clopidogrel = 0;
};

} // namespace talvora::test
