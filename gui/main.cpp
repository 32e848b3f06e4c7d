// Velmora, the windowed program: wakes, pings, restarts or shuts down the machines of a list.
#include <QApplication>
#include <QIcon>
#include <QTimer>

#include "gui/main/frmVelmora.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(velmora::gui::TitreApplication());
    QApplication::setWindowIcon(QIcon(":/velmora/velmora.png"));
    QApplication::setDesktopFileName("velmora");
    velmora::gui::frmVelmora fenetre;
    if (!fenetre.Form_Load(velmora::gui::TexteLigneCommande(argc, argv))) return 1;
    fenetre.show();
    QTimer::singleShot(0, &fenetre, [&fenetre] { fenetre.AfficherAstuceAuDemarrage(); });
    return application.exec();
}
