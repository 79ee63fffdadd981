#pragma once
// Everything the program builds at start-up, in its order: the start window,
// the template designer, the data module, the patient window (a failure to
// build it is ignored), then the other windows. One of each for the run.

#include "data/aliases.h"

#include <QStringList>

#include <functional>
#include <memory>

namespace talvora::data {
class TDM;
}
namespace talvora::boilerplates {
class PatientTexts;
}
namespace talvora::word {
class SpellChecker;
}
namespace talvora::templates {
class DocumentAssembly;
class TemplateOperations;
}

namespace talvora {

class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;
class TForm8;
class TForm9;
class TForm10;
class TForm11;

class Workstation {
    void giveSpellChecker();
    void connectWindows();
    void connectTreatment();
    void connectPatientTexts();
    void connectWizard();
    void connectErrorList();
    void connectArchive();
    void connectExport();
    void connectDesigner();

public:
    // Builds the patient window; replaceable so that a failure can be tried out.
    using PatientWindowFactory = std::function<std::unique_ptr<TForm3>(data::TDM&)>;

    // Throws talvora::Error when the data module cannot be created; nothing
    // is shown then.
    explicit Workstation(data::AliasResolver aliases = {}, PatientWindowFactory makePatientWindow = {});
    ~Workstation();
    Workstation(const Workstation&) = delete;
    Workstation& operator=(const Workstation&) = delete;

    // Shows the start window.
    void show();

    // Destroyed in the reverse order: windows before the data module they use.
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
    std::unique_ptr<data::TDM> dm;
    // The operations shared by the patient window and the designer.
    std::unique_ptr<templates::TemplateOperations> templateOperations;
    std::unique_ptr<templates::DocumentAssembly> assembly;
    std::unique_ptr<TForm3> form3; // empty when it could not be built
    // The patient texts and their editor (with the patient window only).
    std::unique_ptr<boilerplates::PatientTexts> patientTexts;
    std::unique_ptr<TForm4> form4;
    std::unique_ptr<TForm5> form5;
    std::unique_ptr<TForm6> form6;
    std::unique_ptr<TForm7> form7;
    std::unique_ptr<TForm8> form8;
    std::unique_ptr<TForm9> form9;
    std::unique_ptr<TForm10> form10;
    std::unique_ptr<TForm11> form11;
    // Shared by every document editor of the windows above.
    std::shared_ptr<word::SpellChecker> spellChecker;

    // "Пациент" on the start window.
    void openPatientWindow();

    // Hides every window and ends the event loop (the start window was closed).
    void closeAll();

    // The names of what was built, in the order it was built.
    QStringList creationOrder;
};

// The message shown when the data module cannot be created.
QString startupFailureMessage(const QString& engineMessage);

} // namespace talvora
