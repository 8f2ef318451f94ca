// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "reports/Histogram.h"

#include <QDialog>

class HistoryNavigator;
class QComboBox;
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
    const reports::HistogramBuckets& buckets() const { return m_buckets; }

public slots:
    // Reloads the buckets of the selection and draws them.
    void redraw();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The selection as the controls hold it.
    reports::HistogramSelection selection() const;
    void setSelection(const reports::HistogramSelection& s);
    void stepSelection(reports::HistogramSelection (*step)(reports::HistogramSelection));
    void clearChart();
    void openChooser();
    void showReadOut(int x);
    void setReadOut(const QString& text);
    void clickBars(Qt::MouseButton button, int x);

    FolderChooser& m_chooser;
    HistoryNavigator* m_navigator = nullptr;
    reports::HistogramBuckets m_buckets;
    const QFont m_font;
    int m_lastX = 0;
    // Once the pointer has passed over the bars, every redraw restates the read-out for the new view.
    bool m_readOutShown = false;

    QLabel* m_axesImage = nullptr;
    QLabel* m_barsImage = nullptr;
    QLabel* m_readOutLabel = nullptr;
    QComboBox* m_viewCombo = nullptr;
    QLineEdit* m_yearEdit = nullptr;
    QLineEdit* m_monthEdit = nullptr;
    QRadioButton* m_sentRadio = nullptr;
    QRadioButton* m_bothRadio = nullptr;
};
