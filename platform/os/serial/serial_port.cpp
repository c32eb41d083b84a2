#include "platform/os/serial/serial_port.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/os/core/error.h"
#include "platform/os/serial/port_core.h"
#include "platform/os/serial/port_paths.h"

namespace os::detail {

std::shared_ptr<SerialPort> SerialPort::Open(const std::wstring& name, uint32_t* error) {
  const std::string path = SerialPortPath(name);
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = errno == EACCES || errno == EBUSY ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  // A port belongs to one opener at a time, across processes too.
  if (!isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    *error = isatty(fd) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    close(fd);
    return nullptr;
  }
  const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd < 0) {
    close(fd);
    *error = ERROR_TOO_MANY_OPEN_FILES;
    return nullptr;
  }
  auto core = std::make_shared<PortCore>(fd, wakeFd);
  if ((*error = core->LoadState()) != ERROR_SUCCESS) return nullptr;
  return std::make_shared<SerialPort>(std::move(core));
}

SerialPort::SerialPort(std::shared_ptr<PortCore> core)
    : core_(std::move(core)), thread_([core = core_] { core->Run(); }) {}

SerialPort::~SerialPort() { Close(); }

void SerialPort::Close() {
  core_->Stop();
  if (thread_.joinable()) {
    // The last reference may drop on the I/O thread itself, while it
    // completes a request; it then ends on its own.
    if (thread_.get_id() == std::this_thread::get_id()) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
  core_->ReleaseLine();
}

void SerialPort::Control(std::shared_ptr<IoRequest> request) { core_->Control(std::move(request)); }
void SerialPort::Read(std::shared_ptr<IoRequest> request) { core_->AddRead(std::move(request)); }
void SerialPort::Write(std::shared_ptr<IoRequest> request) { core_->AddWrite(std::move(request)); }
void SerialPort::Cancelled(const IoRequest& request) { core_->Forget(request); }

}  // namespace os::detail
