#pragma once
// A tile server of the test's own on 127.0.0.1: answers GET /z/x/y.png with a
// 256-pixel PNG of the tile's own colour (TileColour), or with what the test
// scripted for a path (status, body, headers, a body cut short). It counts
// requests, remembers the last User-Agent and If-None-Match, and the most
// requests it held at once (answers can be delayed). Started and stopped by
// the test; nothing here touches another host.

#include <QBuffer>
#include <QColor>
#include <QHash>
#include <QImage>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

namespace test {

struct TileAnswer {
  int status = 200;
  QByteArray body;
  QList<QPair<QByteArray, QByteArray>> headers;
  int cutAfter = -1;  // close after this many body bytes, the Content-Length still claiming all
};

// Each tile its own colour, so a grabbed picture shows which tile is where.
inline QColor TileColour(int z, int x, int y) {
  return QColor((x * 37 + z * 11) % 256, (y * 53 + z * 7) % 256, 160);
}

inline QByteArray PngOf(const QColor& colour, int size = 256) {
  QImage image(size, size, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

class LoopbackTileServer {
 public:
  LoopbackTileServer() {
    QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* s = m_server.nextPendingConnection()) {
        QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { OnRead(s); });
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      }
    });
  }
  bool Start(quint16 port = 0) { return m_server.listen(QHostAddress::LocalHost, port); }
  void Stop() { m_server.close(); }
  quint16 Port() const { return m_server.serverPort(); }
  QString Template() const { return QString("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(Port()); }

  void Script(const QString& path, const TileAnswer& answer) { m_scripted[path] = answer; }
  void SetDelayMs(int ms) { m_delayMs = ms; }
  // Default answers carry these headers (e.g. Cache-Control, ETag).
  void SetDefaultHeaders(QList<QPair<QByteArray, QByteArray>> h) { m_defaultHeaders = std::move(h); }

  int Requests() const { return m_requests; }
  int Requests(const QString& path) const { return m_perPath.value(path); }
  int MostAtOnce() const { return m_mostAtOnce; }
  QByteArray LastUserAgent() const { return m_userAgent; }
  QByteArray LastIfNoneMatch() const { return m_ifNoneMatch; }

 private:
  void OnRead(QTcpSocket* s) {
    QByteArray& buffer = m_buffers[s];
    buffer += s->readAll();
    const int end = buffer.indexOf("\r\n\r\n");
    if (end < 0) return;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    buffer.clear();
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    const QString path = QString::fromLatin1(first.value(1));
    m_ifNoneMatch.clear();
    for (const QByteArray& line : lines) {
      const QByteArray lower = line.toLower();
      if (lower.startsWith("user-agent:")) m_userAgent = line.mid(11).trimmed();
      if (lower.startsWith("if-none-match:")) m_ifNoneMatch = line.mid(14).trimmed();
    }
    ++m_requests;
    ++m_perPath[path];
    m_mostAtOnce = std::max(m_mostAtOnce, ++m_atOnce);
    TileAnswer answer;
    if (m_scripted.contains(path)) {
      answer = m_scripted.value(path);
    } else {
      const QStringList p = path.mid(1).chopped(4).split('/');
      answer.body = PngOf(TileColour(p.value(0).toInt(), p.value(1).toInt(), p.value(2).toInt()));
      answer.headers = m_defaultHeaders;
    }
    QTimer::singleShot(m_delayMs, s, [this, s, answer] { Answer(s, answer); });
  }

  void Answer(QTcpSocket* s, const TileAnswer& a) {
    --m_atOnce;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(a.status) + " X\r\nConnection: close\r\n";
    head += "Content-Length: " + QByteArray::number(a.body.size()) + "\r\n";
    for (const auto& [k, v] : a.headers) head += k + ": " + v + "\r\n";
    s->write(head + "\r\n");
    s->write(a.cutAfter >= 0 ? a.body.left(a.cutAfter) : a.body);
    s->disconnectFromHost();
  }

  QTcpServer m_server;
  QHash<QTcpSocket*, QByteArray> m_buffers;
  QHash<QString, TileAnswer> m_scripted;
  QHash<QString, int> m_perPath;
  QList<QPair<QByteArray, QByteArray>> m_defaultHeaders;
  int m_delayMs = 0, m_requests = 0, m_atOnce = 0, m_mostAtOnce = 0;
  QByteArray m_userAgent, m_ifNoneMatch;
};

}  // namespace test
