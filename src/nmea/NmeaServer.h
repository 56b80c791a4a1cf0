#pragma once
// Sends NMEA sentences to every program connected over TCP. Read-only: what a
// client sends is read and thrown away. Each client has its own bounded queue
// of whole lines; one that reads slowly or not at all loses its own oldest
// lines, so it never holds up the others, the caller or the memory. The
// kernel's send buffer of each connection is kept small for the same reason:
// a reader that catches up gets current positions, not minutes-old ones.

#include <QObject>
#include <QString>
#include <QTcpServer>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "nmea/ListenAddress.h"

class QTcpSocket;

namespace apdesk::nmea {

class NmeaServer : public QObject {
  Q_OBJECT

 public:
  static constexpr std::size_t kQueuedLinesPerClient = 60;  // 20 s of GGA, RMC, VTG at 1 Hz
  static constexpr qint64 kHandedToSocketBytes = 1024;      // what Qt buffers beyond our queue
  static constexpr int kSocketSendBufferBytes = 4096;
  static constexpr int kMaxClients = 32;

  explicit NmeaServer(QObject* parent = nullptr);
  ~NmeaServer() override;

  // Port 0 takes any free port (Address() then says which). False with the
  // reason when the address cannot be listened on.
  bool Listen(const ListenAddress& address, QString* error);
  void Close();
  bool Listening() const { return m_server.isListening(); }
  ListenAddress Address() const { return m_address; }

  int Clients() const { return static_cast<int>(m_clients.size()); }
  // Lines waiting in the fullest client queue (never above kQueuedLinesPerClient).
  std::size_t LongestQueue() const;

  // One or more sentences, each ending in CR LF, to every client.
  void Send(const std::string& sentences);

 Q_SIGNALS:
  void ClientJoined(const QString& peer);
  // droppedLines: lines this client never got because it did not read them.
  void ClientLeft(const QString& peer, quint64 droppedLines);
  void ClientsChanged(int count);

 private:
  struct Client {
    QTcpSocket* socket = nullptr;
    QString peer;
    std::deque<std::string> queue;
    quint64 dropped = 0;
  };

  void OnNewConnection();
  void OnGone(QTcpSocket* socket);
  static void Pump(Client& client);
  Client* Find(QTcpSocket* socket);

  QTcpServer m_server;
  ListenAddress m_address;
  std::vector<std::unique_ptr<Client>> m_clients;
};

}  // namespace apdesk::nmea
