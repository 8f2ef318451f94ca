#include "shell/widgets/AboutBox.h"

#include "shell/Pictures.h"

#include <QScreen>

AboutBox::AboutBox(const QString& versionText, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OKBottomDlg"));
    setWindowTitle(QStringLiteral("A propos..."));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(287, 198);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 286, 169);
    Image1->setPixmap(QPixmap::fromImage(SplashPicture()));

    Label1 = new QLabel(versionText, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label1->setStyleSheet(QStringLiteral("color: red;"));
    Label1->adjustSize();
    Label1->move(8, 169 + (198 - 169 - Label1->height()) / 2);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    OKBtn->resize(75, 23);
    OKBtn->move(287 - 75 - 6, 169 + (198 - 169 - 23) / 2);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}
