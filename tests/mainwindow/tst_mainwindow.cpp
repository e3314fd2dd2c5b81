#include <QTest>
class TestMainWindow : public QObject { Q_OBJECT };
QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
