#include <QTest>
class DeviceScanTest : public QObject
{
    Q_OBJECT
};
QTEST_GUILESS_MAIN(DeviceScanTest)
#include "tst_devicescan.moc"
