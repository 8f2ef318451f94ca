#pragma once

#include "reports/Histogram.h"

#include <QDialog>

class HistoryNavigator;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class FolderChooser;

// "Statistiques : représentation par histogrammes": monthly bars of a year or daily bars of a month.
class HistogramWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistogramWindow)

public:
    HistogramWindow(FolderChooser& chooser, const QDate& today, QWidget* parent = nullptr);

    void setNavigator(HistoryNavigator* navigator) { m_navigator = navigator; }
    void setChartFont(const QFont& font) { m_font = font; }

    // The selection as the controls hold it.
    reports::HistogramSelection selection() const;
    const reports::HistogramBuckets& buckets() const { return m_buckets; }

    QFrame* Shape1 = nullptr;
    QLabel* imL = nullptr;
    QLabel* imG = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cbMode = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton* bpm = nullptr;
    QPushButton* bmm = nullptr;
    QPushButton* bpa = nullptr;
    QPushButton* bma = nullptr;
    QRadioButton* rbDL = nullptr;
    QRadioButton* rbUL = nullptr;
    QRadioButton* rbDLUL = nullptr;
    QPushButton* btDes = nullptr;
    QPushButton* btEff = nullptr;
    QPushButton* BitBtn1 = nullptr;

public slots:
    void bpmClick(QObject* sender);
    void btDesClick();
    void btEffClick();
    void BitBtn1Click();
    void imGMouseMove(int x);
    void imGMouseUp(Qt::MouseButton button, int x);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setSelection(const reports::HistogramSelection& s);

    FolderChooser& m_chooser;
    HistoryNavigator* m_navigator = nullptr;
    reports::HistogramBuckets m_buckets;
    QFont m_font;
    int m_lastX = 0;
};
