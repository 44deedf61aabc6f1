#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

class QLabel;
class QStandardItemModel;
class QWidget;
class Q3DSurface;

namespace vemo::toolona {

class EyeScaleBar;

// An eye scan's result as a surface seen from above, coloured by height,
// with the eye width and height the engine measured below it. The CSV
// variant (PCS channel) shows each point's bit error ratio in percent, the
// text variant (quad lane) its comb value times 10000.
//
// One surface serves every dialog of the process: OpenGL surfaces are
// costly to make, and the dialog only swaps its data in. Where no OpenGL
// context can be had the dialog says so in place of the surface.
class EyeDiagramDlg : public QDialog {
    Q_OBJECT
public:
    EyeDiagramDlg(const QString& name, const QList<QStringList>& rows, const QString& path, QWidget* parent);
    EyeDiagramDlg(const QString& name, const QStringList& comb, const QStringList& x, const QStringList& y,
                  const QString& label, QWidget* parent);
    ~EyeDiagramDlg() override;

    // The result file a text variant shows, so that its measurement is the
    // one of that file (the label stays "eomFile").
    void setResultFile(const QString& file);

    int eyeWidth() const { return m_width; }
    int eyeHeight() const { return m_height; }
    int maxHeight() const { return m_maxHeight; }
    QLabel* measurementLabel() const { return m_measurement; }
    // The width and height in steps and, where the scan's step sizes are
    // known, in unit intervals and millivolts.
    QLabel* unitsLabel() const { return m_units; }
    EyeScaleBar* scaleBar() const { return m_scale; }
    // The points as loaded (x under "PosXRole", y under "PosYRole", height
    // under the display role); owned by the surface's proxy when there is one.
    QStandardItemModel* model() const { return m_model; }
    QString error() const { return m_error; }

    // The shared surface (null until a dialog made it, or without OpenGL).
    static Q3DSurface* surface();
    static bool openGLAvailable();
    // Label format of the height axis for heights up to `max`.
    static QString heightFormat(double max);

public slots:
    void onViewRawDataButtonClicked();

private:
    void build(bool textVariant);
    void loadCsv();
    void loadText();
    void findMeasurement(const QString& file);
    void install(bool textVariant, double xMin, double xMax, double zMin, double zMax);
    void writeDebugDump() const;
    // The measurement and units labels, and the colour scale, from what is loaded.
    void showMeasurement();

    QString m_name;
    QList<QStringList> m_rows;
    QString m_label;
    int m_width = 0;
    int m_height = 0;
    int m_maxHeight = 0;
    double m_uiPerStep = 0;
    double m_voltsPerStep = 0;
    bool m_textVariant = false;
    QStringList m_comb;
    QStringList m_x;
    QStringList m_y;
    QStandardItemModel* m_model = nullptr;
    QLabel* m_measurement = nullptr;
    QLabel* m_units = nullptr;
    EyeScaleBar* m_scale = nullptr;
    QString m_error;
};

} // namespace vemo::toolona
