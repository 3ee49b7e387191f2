// Keeps an MQTT channel connected as a running copy does, so that a test can end it with
// SIGKILL, without a word to the broker, and watch the broker publish the will.
//   mqtt_probe <port> <machine> <instance>
#include "channels/MqttChannel.h"

#include <QCoreApplication>

#include <cstdlib>

using namespace beamtide;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return 2;
    MqttSettings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = std::atoi(argv[1]);
    s.machine = QString::fromLocal8Bit(argv[2]);
    s.instance = QString::fromLocal8Bit(argv[3]);
    MqttChannel channel(s, {std::chrono::milliseconds(1)}, {});
    return QCoreApplication::exec();
}
