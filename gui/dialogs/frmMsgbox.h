// The message box with a "do not show again" box: icon, message, optional check box, OK and
// optional Cancel. It waits in an event loop rather than modally, so other windows keep
// handling their events while it is open.
#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QLabel;
class QPushButton;
class QEventLoop;

namespace velmora::gui {

class frmMsgbox : public QDialog {
    Q_OBJECT
  public:
    explicit frmMsgbox(QWidget* parent = nullptr);

    // Lays the window out for a message: `style` as a standard message box style (icon part
    // 16 stop, 32 question, 48 exclamation, 64 information; button value 1 adds Cancel and
    // style 256 makes Cancel the default button), `titre` the window title, `nePlusAfficher`
    // shows the check box.
    void Preparer(const std::string& texte, int style, const std::string& titre,
                  bool nePlusAfficher);
    // Shows the window centred on the screen and waits for OK, Cancel or the close box.
    // Returns 1 (OK) or 2 (Cancel), negated when the check box was ticked; closing the window
    // counts as Cancel when Cancel is offered, else as OK.
    int Attendre();

    // Preparer + Attendre on a new window, deleted afterwards.
    static int Afficher(QWidget* parent, const std::string& texte, int style,
                        const std::string& titre, bool nePlusAfficher);

    // The widest line allowed for the message (pixels): half the screen, at least 300.
    static int LargeurMaximale();

  public slots:
    void reject() override;  // Escape: Cancel when offered, else like OK

  protected:
    void closeEvent(QCloseEvent* evenement) override;

  private:
    void Terminer(int bouton);

    QLabel* m_icone;
    QLabel* m_message;
    QCheckBox* m_nePlusAfficher;
    QWidget* m_fondBoutons;
    QPushButton* m_ok;
    QPushButton* m_annuler;
    QPushButton* m_defaut = nullptr;  // the button that Enter presses
    QEventLoop* m_boucle = nullptr;
    int m_bouton = 0;  // 0 while waiting, then 1 or 2
};

}  // namespace velmora::gui
