#include "ComDeviceCommunication.h"
#include "ComDeviceScanThread.h"
#include "ComPortEnumeration.h"
#include "ComPortPath.h"
#include "PseudoTerminal.h"

#include <QCoreApplication>
#include <QThread>

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

int Pending(ComDeviceCommunication &front)
{
    char *data = nullptr;
    int size = 0;
    front.ReadDataFromDev(data, size);
    return size;
}

// One scan as the scan thread runs it, over the system's real port list.
void BM_ScanSystemPorts(benchmark::State &state)
{
    unsigned short ports[ComDeviceScanThread::kMaxPorts] = {};
    for (auto _ : state)
        benchmark::DoNotOptimize(
            ComPortEnumeration::EnumerateMonitorPorts(ports, ComDeviceScanThread::kMaxPorts));
}
BENCHMARK(BM_ScanSystemPorts)->Unit(benchmark::kMicrosecond);

// The parser's pattern: a chunk arrives, whole frames leave from the front of
// what is pending (state.range(0) bytes already waiting behind them).
void BM_ReadBufferChunkAndConsume(benchmark::State &state)
{
    ComDeviceCommunication front;
    const int backlog = int(state.range(0));
    constexpr int kChunk = 64;
    char *fill = new char[size_t(backlog) + 1]();
    front.ReadFinishedSlot(fill, backlog + 1, true);
    char staging[5120];
    for (auto _ : state) {
        front.ReadFinishedSlot(new char[kChunk](), kChunk, true);
        int size = int(sizeof staging);
        front.GetReadBuffer(staging, size);
        front.UpdateReadBuffer2(kChunk);
    }
    state.SetBytesProcessed(state.iterations() * kChunk);
}
BENCHMARK(BM_ReadBufferChunkAndConsume)->Arg(0)->Arg(4096)->Arg(262144);

// A 29-byte request out and a 64-byte answer back, through the worker thread
// and a pseudo-terminal, until the answer is in the read buffer.
void BM_RoundTripOverPseudoTerminal(benchmark::State &state)
{
    PseudoTerminal pty;
    const QString path = pty.SlavePath();
    ComPortPath::SetPathResolver([path](int) { return path; });
    ComDeviceCommunication front;
    front.OpenDevice(1);
    QThread::msleep(100);
    unsigned char request[29] = {};
    const QByteArray answer(64, '\x5A');
    for (auto _ : state) {
        front.WriteDataToDev(request, int(sizeof request));
        if (pty.ReadExactly(int(sizeof request)).size() != int(sizeof request) ||
            !pty.Write(answer)) {
            state.SkipWithError("pseudo-terminal exchange failed");
            break;
        }
        while (Pending(front) < answer.size())
            QCoreApplication::processEvents();
        front.ClearReadWriteBuffer();
    }
    ComPortPath::SetPathResolver({});
}
BENCHMARK(BM_RoundTripOverPseudoTerminal)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
