// The about window: description, author, site and e-mail links, translator line and a donation
// picture alternating between its French and English variants.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QTimer;

namespace velmora::gui {

class frmAPropos : public QDialog {
    Q_OBJECT
  public:
    explicit frmAPropos(QWidget* parent = nullptr);

    // The link texts and addresses of the project.
    static QString Auteur();
    static QString Site();
    static QString Email();
    static QString LienDon();
    // The mailto: link of the e-mail label: subject "A propos de <title> <version>...".
    static QString LienEmail();

    // Which donation picture is shown: 0 French, 1 English.
    int ImageDonAffichee() const { return m_imageDon; }
    // The text of the donation picture `image` (0 or 1) in the interface's language.
    static QString TexteDon(int image);
    void ChangerImageDon();

  protected:
    bool eventFilter(QObject* objet, QEvent* evenement) override;
    void mouseMoveEvent(QMouseEvent* evenement) override;

  private:
    void Survoler(QLabel* lien);  // nullptr: both links back to normal
    QLabel* m_site;
    QLabel* m_email;
    QLabel* m_donner;
    QTimer* m_timDonner;
    int m_imageDon = 0;
};

}  // namespace velmora::gui
