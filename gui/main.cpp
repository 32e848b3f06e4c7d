// Velmora, the windowed program: wakes, pings, restarts or shuts down the machines of a list.
#include <QApplication>
#include <QIcon>
#include <QTimer>

#include "common/platform/Process.h"
#include "gui/main/frmVelmora.h"
#include "gui/widgets/ArbreVisible.h"
#include "gui/widgets/Etat.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(velmora::gui::TitreApplication());
    QApplication::setWindowIcon(QIcon(":/velmora/velmora.png"));
    QApplication::setDesktopFileName("velmora");
    velmora::gui::frmVelmora fenetre;
    if (!fenetre.Form_Load(velmora::gui::TexteLigneCommande(argc, argv))) return 1;
    fenetre.show();
    QTimer::singleShot(0, &fenetre, [&fenetre] { fenetre.AfficherAstuceAuDemarrage(); });
    // SIGINT and SIGTERM: the tool being run is stopped with its children, a run ends at its
    // next step, then the program leaves its event loops (no file is left half-written: every
    // write of the Configuration file is a rename) and ends as the signal asked.
    velmora::platform::InstallerArretParSignaux();
    QTimer signaux;
    QObject::connect(&signaux, &QTimer::timeout, [] {
        if (!velmora::platform::SignalArretRecu()) return;
        velmora::gui::Etat().annulation = true;
        QCoreApplication::exit(1);
    });
    signaux.start(200);
    // Last step of the start: the visible widget tree for the checks that look at the screen.
    velmora::gui::InstallerArbreVisible(&fenetre);
    const int code = application.exec();
    velmora::platform::TerminerSiSignalRecu();
    return code;
}
