#include "gui/dialogs/frmAPropos.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "common/i18n/Traduction.h"
#include "common/platform/Outil.h"
#include "gui/widgets/Controles.h"
#include "gui/widgets/TraduireFeuille.h"

namespace velmora::gui {

namespace {

constexpr int kPeriodeDonMs = 3000;
constexpr int kDecalageDonPx = 1;  // 15 twips

// A small button-like picture with a caption, for the donation link.
QPixmap ImageDon(const QString& texte, const QColor& fond) {
    QFont police = QApplication::font();
    police.setBold(true);
    const QFontMetrics mesure(police);
    QPixmap image(mesure.horizontalAdvance(texte) + 24, mesure.height() + 12);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(fond);
    p.setPen(fond.darker(140));
    p.drawRoundedRect(image.rect().adjusted(0, 0, -1, -1), 6, 6);
    p.setPen(Qt::white);
    p.setFont(police);
    p.drawText(image.rect(), Qt::AlignCenter, texte);
    return image;
}

void StyleLien(QLabel* lien, bool survole) {
    lien->setStyleSheet(survole ? QStringLiteral("color: red; text-decoration: underline;")
                                : QStringLiteral("color: blue; text-decoration: none;"));
}

}  // namespace

QString frmAPropos::Auteur() { return QStringLiteral("L'équipe Velmora"); }
QString frmAPropos::Site() { return QStringLiteral("https://velmora.example"); }
QString frmAPropos::Email() { return QStringLiteral("contact@velmora.example"); }
QString frmAPropos::LienDon() { return QStringLiteral("https://velmora.example/don"); }

QString frmAPropos::TexteDon(int image) {
    // The picture alternates the interface's own words with the English ones; in English both
    // say the same.
    return image == 0 ? VersQString(i18n::Tr("TXT_FAIRE_UN_DON")) : QStringLiteral("Donate");
}

QString frmAPropos::LienEmail() {
    return QStringLiteral("mailto:%1?subject=A propos de %2 %3...")
        .arg(Email(), QString::fromUtf8(kNomApplication), VersQString(platform::TexteVersion()));
}

frmAPropos::frmAPropos(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAPropos"));
    setWindowTitle(QStringLiteral("A propos de Velmora"));
    setMouseTracking(true);

    auto* icone = new QLabel(this);
    icone->setObjectName(QStringLiteral("imgIcone"));
    QIcon iconeApplication = QApplication::windowIcon();
    if (iconeApplication.isNull())
        iconeApplication = style()->standardIcon(QStyle::SP_ComputerIcon);
    icone->setPixmap(iconeApplication.pixmap(48));
    auto* titre = new QLabel(
        VersQString(std::string(kNomApplication) + " " + platform::TexteVersion()), this);
    titre->setObjectName(QStringLiteral("lblTitre"));
    QFont grand = titre->font();
    grand.setBold(true);
    grand.setPointSizeF(grand.pointSizeF() * 1.3);
    titre->setFont(grand);

    auto* description = new QPlainTextEdit(this);
    description->setObjectName(QStringLiteral("txtDescription"));
    description->setReadOnly(true);
    description->setPlainText(QStringLiteral(
        "Velmora réveille (Wake-on-LAN ou relais web), teste, redémarre, éteint, verrouille, "
        "déconnecte ou met en veille prolongée les machines de votre réseau depuis un seul "
        "poste.\n"));
    description->setMinimumWidth(380);
    description->setFixedHeight(description->fontMetrics().lineSpacing() * 5 + 12);

    auto* auteur = new QLabel(Auteur(), this);
    auteur->setObjectName(QStringLiteral("lblAuteur"));
    m_site = new QLabel(Site(), this);
    m_site->setObjectName(QStringLiteral("lblSite"));
    m_email = new QLabel(Email(), this);
    m_email->setObjectName(QStringLiteral("lblEmail"));
    for (QLabel* lien : {m_site, m_email}) {
        lien->setCursor(Qt::PointingHandCursor);
        lien->setMouseTracking(true);
        lien->installEventFilter(this);
        StyleLien(lien, false);
    }
    auto* traduitPar = new QLabel(this);
    traduitPar->setObjectName(QStringLiteral("lblTraduitPar"));
    auto* licence = new QLabel(
        QStringLiteral("Logiciel libre sous licence GNU GPL, version 3 ou ultérieure"), this);
    licence->setObjectName(QStringLiteral("lblLicence"));

    m_donner = new QLabel(this);
    m_donner->setObjectName(QStringLiteral("imgDonner"));
    m_donner->setCursor(Qt::PointingHandCursor);
    m_donner->setPixmap(ImageDon(TexteDon(0), QColor(0, 112, 186)));
    m_donner->installEventFilter(this);

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* entete = new QHBoxLayout;
    entete->addWidget(icone);
    entete->addWidget(titre, 1);
    auto* liens = new QVBoxLayout;
    liens->addWidget(auteur);
    liens->addWidget(m_site);
    liens->addWidget(m_email);
    liens->addWidget(traduitPar);
    liens->addWidget(licence);
    auto* milieu = new QHBoxLayout;
    milieu->addLayout(liens, 1);
    milieu->addWidget(m_donner, 0, Qt::AlignBottom);
    auto* barre = new QHBoxLayout;
    barre->addStretch();
    barre->addWidget(ok);
    auto* principal = new QVBoxLayout(this);
    principal->addLayout(entete);
    principal->addWidget(description, 1);
    principal->addLayout(milieu);
    principal->addLayout(barre);
    TraduireFeuille(this);
    // The description loses a final line break.
    QString texte = description->toPlainText();
    while (texte.endsWith(QLatin1Char('\n'))) texte.chop(1);
    description->setPlainText(texte);
    traduitPar->setVisible(!traduitPar->text().isEmpty());

    m_timDonner = new QTimer(this);
    m_timDonner->setObjectName(QStringLiteral("timDonner"));
    m_timDonner->setInterval(kPeriodeDonMs);
    connect(m_timDonner, &QTimer::timeout, this, [this] { ChangerImageDon(); });
    m_timDonner->start();
    AppliquerToujoursAuDessus(this);
}

void frmAPropos::ChangerImageDon() {
    m_imageDon = 1 - m_imageDon;
    m_donner->setPixmap(m_imageDon == 0 ? ImageDon(TexteDon(0), QColor(0, 112, 186))
                                        : ImageDon(TexteDon(1), QColor(0, 140, 90)));
}

void frmAPropos::Survoler(QLabel* lien) {
    StyleLien(m_site, lien == m_site);
    StyleLien(m_email, lien == m_email);
}

void frmAPropos::mouseMoveEvent(QMouseEvent* evenement) {
    Survoler(nullptr);
    QDialog::mouseMoveEvent(evenement);
}

bool frmAPropos::eventFilter(QObject* objet, QEvent* evenement) {
    const auto type = evenement->type();
    if (objet == m_site || objet == m_email) {
        if (type == QEvent::Enter || type == QEvent::MouseMove)
            Survoler(static_cast<QLabel*>(objet));
        if (type == QEvent::Leave) Survoler(nullptr);
        if (type == QEvent::MouseButtonRelease) {
            QDesktopServices::openUrl(objet == m_site ? QUrl(m_site->text()) : QUrl(LienEmail()));
        }
    } else if (objet == m_donner) {
        if (type == QEvent::MouseButtonPress) {
            m_donner->move(m_donner->pos() + QPoint(kDecalageDonPx, kDecalageDonPx));
        } else if (type == QEvent::MouseButtonRelease) {
            m_donner->move(m_donner->pos() - QPoint(kDecalageDonPx, kDecalageDonPx));
            if (m_donner->rect().contains(
                    static_cast<QMouseEvent*>(evenement)->position().toPoint()))
                QDesktopServices::openUrl(QUrl(LienDon()));
        }
    }
    return QDialog::eventFilter(objet, evenement);
}

}  // namespace velmora::gui
