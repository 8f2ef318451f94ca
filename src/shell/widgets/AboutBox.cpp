// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/widgets/AboutBox.h"

#include "common/widgets/Named.h"
#include "shell/Pictures.h"

#include <QLabel>
#include <QPushButton>
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

    auto* picture = Named(new QLabel(this), "Image1");
    picture->setGeometry(0, 0, 286, 169);
    picture->setPixmap(QPixmap::fromImage(SplashPicture()));

    auto* versionLabel = Named(new QLabel(versionText, this), "Label1");
    QFont bold = versionLabel->font();
    bold.setBold(true);
    versionLabel->setFont(bold);
    versionLabel->setStyleSheet(QStringLiteral("color: red;"));
    versionLabel->adjustSize();
    versionLabel->move(8, 169 + (198 - 169 - versionLabel->height()) / 2);

    auto* okButton = Named(new QPushButton(QStringLiteral("OK"), this), "OKBtn");
    okButton->setDefault(true);
    okButton->resize(75, 23);
    okButton->move(287 - 75 - 6, 169 + (198 - 169 - 23) / 2);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}
