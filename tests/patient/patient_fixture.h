#pragma once
// A workstation database with two departments and a few patients, the data
// module over it, and scripted dialogs.

#include "common/program_state.h"
#include "data/data_module.h"
#include "temp_databases.h"
#include "ui/scripted_dialogs.h"

#include <gtest/gtest.h>

namespace talvora::test {

class PatientData : public ::testing::Test {
protected:
    PatientData()
    {
        programSwitches() = {};
        dbs.sql(QStringLiteral("insert into Otdelen (Oboln, Ootd) values (\"ГКБ №1\", \"Неврология\")"));
        dbs.sql(QStringLiteral("insert into Otdelen (Oboln, Ootd) values (\"ГКБ №1\", \"Кардиология\")"));
    }

    // A patient of a department; its key.
    int addPatient(int department, const QString& surname, const QString& diagnosis = QString(),
                   const QString& birth = QStringLiteral("30.12.1899"), const QString& admission = QStringLiteral("01.02.2024"),
                   int history = 0, const QString& discharge = QStringLiteral("30.12.1899"))
    {
        data::Params p;
        p.set(QStringLiteral("n"), surname + QStringLiteral(" И.И."));
        p.set(QStringLiteral("f"), surname);
        p.set(QStringLiteral("d"), diagnosis);
        dbs.sql(QStringLiteral("insert into pacient (Pname, Pname_f, Pname_n, Pname_o, Potd, PdP, PdV, PdB, PdiaK, Phist, Pmale) "
                               "values (:n, :f, \"Иван\", \"Иванович\", %1, \"%2\", \"%3\", \"%4\", :d, %5, 1)")
                    .arg(department)
                    .arg(admission, discharge, birth)
                    .arg(history),
                p);
        return dbs.scalar(QStringLiteral("select max(PID) from pacient")).toInt();
    }

    int count(const QString& statement) { return dbs.scalar(statement).toInt(); }

    TempDatabases dbs;
    ScriptedDialogs dialogs;
};

} // namespace talvora::test
