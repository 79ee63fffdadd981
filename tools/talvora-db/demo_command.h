#pragma once
// `talvora-db demo`: a department's fictional years of work, so that a person
// trying the program sees a living department, and the benchmarks a database
// of realistic size.
//
// Fictional patients go to the first department (the starter department of
// `init`) and to a second neurology department made as the first-run wizard
// makes one (its workplace, then the starter department's boilerplates,
// template types and templates imported). Each patient gets a card with
// texts from the department's boilerplates for the patient's age and sex,
// investigations written into the department's investigation forms, a
// treatment scheme from the drug reference and, once discharged, a
// discharge summary assembled from the department's default template and
// stored as a document of the summary type. A patient and all its rows are
// written as one unit of work.
//
// Everything drawn depends only on the seed and the day taken as today, so
// two runs with both equal make equal databases.

#include "data/aliases.h"

#include <QDate>
#include <QStringList>
#include <QTextStream>

#include <functional>

namespace talvora::tools {

constexpr quint32 kDemoSeed = 17041987;

struct DemoOptions {
    int patients = 60;
    // The years the admissions spread over; 0: the last six weeks.
    int years = 0;
    quint32 seed = kDemoSeed;
    // The day the run takes as today; null: the current date.
    QDate today;
    // Summaries are assembled for this many of the most recent discharged
    // patients (and a few of the oldest of each department); the others get
    // a copy of an assembled one of their department. Assembling takes some
    // 10 ms a summary, which adds up on the benchmark's 30,000.
    int assembledRecent = 3000;
    // Called now and then with the patients written so far and the total.
    std::function<void(int done, int total)> progress;
};

struct DemoSummary {
    QList<qint64> departments; // the first department's key, then the second's
    bool secondDepartmentMade = false;
    int patients = 0;
    int notDischarged = 0;
    int investigations = 0;
    int prescriptions = 0;
    int summariesAssembled = 0;
    int summariesCopied = 0;
    QStringList notices; // what the assembly or the wizard said meanwhile
};

// Adds the demo patients to the workstation database of `aliases`, making
// the databases with the starter department first when there are none.
// Throws talvora::Error when the database has no department, a department
// lacks the default template, the summary's document type or a form, or a
// write fails (the patients written before that stay, each whole).
// Needs a QApplication (the documents are laid out with Qt's classes).
DemoSummary addDemoPatients(const data::AliasResolver& aliases, const DemoOptions& options);

// `args` after the word "demo": [--patients N] [--years Y] [--seed S]
// [--assembled N] [--alias NAME=DIR ...]. Returns the exit status.
int runDemoCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace talvora::tools
