#include "banner/qt/AdImage.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QNetworkProxy>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>
#include <condition_variable>

// Signalled when the body has ended and its Qt objects are gone; shared, so
// a window waiting in Shutdown still holds it after the loader freed itself.
// Its mutex also keeps the body from ending while Shutdown uses the object.
struct AdImageLoader::BodyEnd {
  std::mutex mutex;
  std::condition_variable changed;
  bool ended = false;

  void Signal() {
    std::lock_guard lock(mutex);
    ended = true;
    changed.notify_all();
  }
};

namespace {
// Qt's own buffer between two reads; every readyRead empties it, so it only
// caps what one notification may pile up.
constexpr qint64 kSocketBufferSize = 1 << 20;
constexpr qint64 kReadChunk = 64 * 1024;
}  // namespace

AdImageLoader::AdImageLoader(banner::BannerDisplay* display, std::string host, int port,
                             std::string defaultLinkUrl, std::chrono::milliseconds timeLimit)
    : display_(display),
      host_(std::move(host)),
      port_(port),
      timeLimit_(timeLimit),
      Exchange(std::move(defaultLinkUrl)),
      bodyEnd_(std::make_shared<BodyEnd>()) {}

AdImageLoader::~AdImageLoader() {
  // An owner deleting the loader: end an exchange, then the body, before
  // the members it uses go. A loader freeing itself has ended already.
  Terminate();
  InterruptExchange();
  TerminateAndWait();
}

bool AdImageLoader::WakeIfIdle() {
  if (!Suspended()) return false;
  Resume();
  return true;
}

bool AdImageLoader::Shutdown(std::chrono::milliseconds bound) {
  // Held until the wait: the body cannot pass BodyEnd::Signal, and so cannot
  // free itself, while this touches the object.
  const std::shared_ptr<BodyEnd> bodyEnd = bodyEnd_;
  std::unique_lock lock(bodyEnd->mutex);
  Terminate();
  InterruptExchange();
  // The body is idle, exchanging (interrupted above), judging or inside the
  // synchronised call (released by the closed invoker); the Resume lets an
  // idle body see the request.
  Resume();
  return bodyEnd->changed.wait_for(lock, bound, [&] { return bodyEnd->ended; });
}

void AdImageLoader::InterruptExchange() {
  std::lock_guard lock(loopMutex_);
  if (loopContext_ == nullptr) return;
  // Runs on the loader thread, from its wait; dropped with the context if
  // the body ends first.
  QMetaObject::invokeMethod(loopContext_, [this] { EndExchangeAsFailed(); }, Qt::QueuedConnection);
}

void AdImageLoader::Execute() {
  {
    // The event loop first: it gives this thread the dispatcher that the
    // socket and the timer need.
    QEventLoop loop;
    QObject context;
    QTcpSocket socket;
    QTimer timeLimit;
    socket.setProxy(QNetworkProxy::NoProxy);
    socket.setReadBufferSize(kSocketBufferSize);
    timeLimit.setSingleShot(true);
    timeLimit.setInterval(timeLimit_);
    QObject::connect(&socket, &QTcpSocket::connected, &context, [this] { SocketWrite(); });
    QObject::connect(&socket, &QTcpSocket::readyRead, &context, [this] { SocketRead(); });
    QObject::connect(&socket, &QTcpSocket::disconnected, &context, [this] { SocketDisconnect(); });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &context, [this] { SocketError(); });
    QObject::connect(&timeLimit, &QTimer::timeout, &context, [this] { EndExchangeAsFailed(); });
    Socket = &socket;
    TimeLimit = &timeLimit;
    {
      std::lock_guard lock(loopMutex_);
      loopContext_ = &context;
    }

    while (!Terminated()) {
      try {
        RunCycle();
      } catch (...) {
        // Any failure of a cycle ends it silently; the banner stays.
      }
      timeLimit.stop();
      socket.abort();  // the next cycle starts from a closed connection
      if (Terminated()) break;
      Suspend();
    }

    {
      std::lock_guard lock(loopMutex_);
      loopContext_ = nullptr;
    }
    Socket = nullptr;
    TimeLimit = nullptr;
    socket.disconnect();
  }
  bodyEnd_->Signal();
}

void AdImageLoader::RunCycle() {
  Exchange.StartCycle();
  failed_ = false;
  Exchange.BuildRequestLine(banner::AdServerPath);
  Exchange.RequestBody.clear();
  Exchange.BuildRequestHeaders(host_);

  // Busy before the connection is opened: an error reported from inside
  // connectToHost already ends the wait.
  Busy = true;
  TimeLimit->start();
  Socket->connectToHost(QString::fromStdString(host_), static_cast<quint16>(port_));
  // The wait: this thread's own events, the socket's among them, until a
  // handler, the time limit or a shutdown clears Busy.
  while (Busy) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  if (failed_) return;
  SocketRead();  // whatever is still buffered at the close

  if (Exchange.ParseResponse() != banner::ResponseVerdict::Accepted) return;
  if (!Exchange.IsGif) JpegImage.LoadFromStream(Exchange.ImageStream);
  Synchronize([this] { ShowBanner(); });
}

void AdImageLoader::SocketWrite() {
  const std::string request = Exchange.RequestBytes();
  Socket->write(request.data(), static_cast<qint64>(request.size()));
}

void AdImageLoader::SocketRead() {
  if (failed_ || !Socket->isOpen()) return;
  for (;;) {
    const QByteArray chunk = Socket->read(kReadChunk);
    if (chunk.isEmpty()) return;
    if (!Exchange.AppendResponse(std::string_view(chunk.constData(), chunk.size()))) {
      // Over the bound: the response is rejected whatever follows.
      Busy = false;
      Socket->abort();
      return;
    }
  }
}

void AdImageLoader::SocketDisconnect() { Busy = false; }

void AdImageLoader::SocketError() {
  // Handled here and nowhere else: the wait ends and the response, whatever
  // arrived, is judged as it is. A close by the server comes this way too.
  Busy = false;
}

void AdImageLoader::EndExchangeAsFailed() {
  if (!Busy) return;
  failed_ = true;
  Busy = false;
  Socket->abort();
}

void AdImageLoader::ShowBanner() {
  display_->ShowBanner(Exchange.IsGif, Exchange.ImageStream, Exchange.IsGif ? nullptr : &JpegImage,
                       Exchange.LinkUrl);
}
