#pragma once
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "banner/AdProtocol.h"
#include "banner/BannerDisplay.h"
#include "banner/qt/JpegImage.h"
#include "platform/Thread.h"

class QObject;
class QTcpSocket;
class QTimer;

namespace banner {
// How long one exchange may last from its connection attempt; a server that
// never answers or never closes ends the cycle as failed, and the next
// wake-up starts a new one.
inline constexpr std::chrono::milliseconds ExchangeTimeLimit{30000};
}  // namespace banner

// AdImageLoader: the worker that fetches the advertisement banner, one cycle
// per wake-up, and has the window show it.
//
// Thread: the body runs on the loader's own thread. It creates the socket
// there, with that thread's own event loop delivering the socket's signals
// to SocketWrite, SocketRead, SocketDisconnect and SocketError while the
// body waits for Busy to clear. A cycle: a new connection, the request, every
// byte until the server closes (or an error, the time limit or the size
// bound ends it), the judging, the JPEG header, then ShowBanner on the window
// thread through the synchronised call; then the body suspends itself until
// the window wakes it (WakeIfIdle, from its minute timer).
//
// Owner: the main window creates it suspended, below normal priority,
// freeing itself, with its GuiInvoker as synchroniser, and resumes it.
// Nothing is ever reported: a cycle changes the banner or leaves it.
//
// Exit, from the window's destruction, on the window thread, in this order:
//   invoker.Close();          // no ShowBanner from now on; frees a waiting loader
//   AdLoader->Shutdown(bound);  // ends an exchange, wakes the body, waits
//   AdLoader = nullptr;       // it frees itself
// Shutdown waits at most bound for the body to let go of its socket and
// event loop; the window is not held longer than that, whatever the server.
class AdImageLoader : public platform::Thread {
 public:
  // host and defaultLinkUrl come from the program's configuration.
  AdImageLoader(banner::BannerDisplay* display, std::string host, int port,
                std::string defaultLinkUrl,
                std::chrono::milliseconds timeLimit = banner::ExchangeTimeLimit);
  ~AdImageLoader() override;

  // The minute tick: resumes the loader only when it is idle, so cycles never
  // overlap and a tick during a cycle is lost. True when it resumed it.
  // Window thread.
  bool WakeIfIdle();

  // Requests termination, ends an exchange in progress, wakes the body and
  // waits at most bound for it to end. True when it ended in time. For a
  // loader that frees itself the object must not be touched afterwards.
  // Window thread, after the window's GuiInvoker has been closed.
  bool Shutdown(std::chrono::milliseconds bound);

 protected:
  void Execute() override;

 private:
  struct BodyEnd;

  void RunCycle();
  void SocketWrite();
  void SocketRead();
  void SocketDisconnect();
  void SocketError();
  void EndExchangeAsFailed();
  void ShowBanner();
  void InterruptExchange();

  banner::BannerDisplay* const display_;
  const std::string host_;
  const int port_;
  const std::chrono::milliseconds timeLimit_;

  // The request, the response and what the last accepted response left
  // (RequestLine, Response, IsGif, LinkUrl, ImageStream).
  banner::AdExchange Exchange;
  TJpegImage JpegImage;
  bool Busy = false;
  bool failed_ = false;  // the exchange ended by the time limit or a shutdown

  // The body's Qt objects, alive while Execute runs, on the loader thread.
  QTcpSocket* Socket = nullptr;
  QTimer* TimeLimit = nullptr;
  std::mutex loopMutex_;
  QObject* loopContext_ = nullptr;  // guarded: other threads post to it

  std::shared_ptr<BodyEnd> bodyEnd_;
};
