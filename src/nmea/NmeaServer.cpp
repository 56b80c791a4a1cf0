#include "nmea/NmeaServer.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <algorithm>

namespace apdesk::nmea {

namespace {

QString PeerOf(const QTcpSocket& s) {
  const QHostAddress a = s.peerAddress();
  const QString host = a.protocol() == QAbstractSocket::IPv6Protocol && !a.toIPv4Address()
                           ? "[" + a.toString() + "]"
                           : QHostAddress(a.toIPv4Address()).toString();
  return host + ":" + QString::number(s.peerPort());
}

}  // namespace

NmeaServer::NmeaServer(QObject* parent) : QObject(parent) {
  m_server.setMaxPendingConnections(kMaxClients);
  connect(&m_server, &QTcpServer::newConnection, this, &NmeaServer::OnNewConnection);
}

NmeaServer::~NmeaServer() {
  Close();
}

bool NmeaServer::Listen(const ListenAddress& address, QString* error) {
  Close();
  const QHostAddress host = address.host == "localhost" ? QHostAddress(QHostAddress::LocalHost)
                                                        : QHostAddress(QString::fromStdString(address.host));
  if (host.isNull()) {
    *error = QString::fromStdString("\"" + address.host + "\" is no IP address");
    return false;
  }
  if (!m_server.listen(host, static_cast<quint16>(address.port))) {
    *error = QString::fromStdString("cannot listen on " + address.Text() + ": ") + m_server.errorString();
    return false;
  }
  m_address = address;
  m_address.port = m_server.serverPort();
  return true;
}

void NmeaServer::Close() {
  m_server.close();
  std::vector<std::unique_ptr<Client>> clients;
  clients.swap(m_clients);
  for (auto& c : clients) {
    c->socket->disconnect(this);
    c->socket->abort();
    c->socket->deleteLater();
    Q_EMIT ClientLeft(c->peer, c->dropped);
  }
  if (!clients.empty()) Q_EMIT ClientsChanged(0);
}

std::size_t NmeaServer::LongestQueue() const {
  std::size_t longest = 0;
  for (const auto& c : m_clients) longest = std::max(longest, c->queue.size());
  return longest;
}

void NmeaServer::OnNewConnection() {
  while (QTcpSocket* socket = m_server.nextPendingConnection()) {
    if (static_cast<int>(m_clients.size()) >= kMaxClients) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kSocketSendBufferBytes);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    auto client = std::make_unique<Client>();
    client->socket = socket;
    client->peer = PeerOf(*socket);
    // Read-only: whatever a client says is read and dropped, so it cannot pile up.
    connect(socket, &QTcpSocket::readyRead, this, [socket] { socket->skip(socket->bytesAvailable()); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
      if (Client* c = Find(socket)) Pump(*c);
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { OnGone(socket); });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { OnGone(socket); });
    const QString peer = client->peer;
    m_clients.push_back(std::move(client));
    Q_EMIT ClientJoined(peer);
    Q_EMIT ClientsChanged(Clients());
  }
}

NmeaServer::Client* NmeaServer::Find(QTcpSocket* socket) {
  for (auto& c : m_clients)
    if (c->socket == socket) return c.get();
  return nullptr;
}

void NmeaServer::OnGone(QTcpSocket* socket) {
  const auto it = std::find_if(m_clients.begin(), m_clients.end(),
                               [socket](const auto& c) { return c->socket == socket; });
  if (it == m_clients.end()) return;  // both disconnected and an error: said once
  const std::unique_ptr<Client> gone = std::move(*it);
  m_clients.erase(it);
  socket->disconnect(this);
  socket->deleteLater();
  Q_EMIT ClientLeft(gone->peer, gone->dropped);
  Q_EMIT ClientsChanged(Clients());
}

void NmeaServer::Pump(Client& c) {
  while (!c.queue.empty() && c.socket->bytesToWrite() < kHandedToSocketBytes) {
    const std::string& line = c.queue.front();
    c.socket->write(line.data(), static_cast<qint64>(line.size()));
    c.queue.pop_front();
  }
}

void NmeaServer::Send(const std::string& sentences) {
  if (m_clients.empty()) return;
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin < sentences.size()) {
    const std::size_t lf = sentences.find('\n', begin);
    const std::size_t end = lf == std::string::npos ? sentences.size() : lf + 1;
    lines.push_back(sentences.substr(begin, end - begin));
    begin = end;
  }
  // By socket, not by iterator: a write may find a client gone and remove it.
  std::vector<QTcpSocket*> sockets;
  for (const auto& c : m_clients) sockets.push_back(c->socket);
  for (QTcpSocket* socket : sockets) {
    Client* c = Find(socket);
    if (!c) continue;
    for (const std::string& line : lines) c->queue.push_back(line);
    while (c->queue.size() > kQueuedLinesPerClient) {
      c->queue.pop_front();
      ++c->dropped;
    }
    Pump(*c);
  }
}

}  // namespace apdesk::nmea
