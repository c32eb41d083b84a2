// Taking a message out of a mailbox through the host's services, as a browser client or a
// server on the other side of the mailbox does.
#pragma once

#include <string>

#include "platform/host/hostservices.h"

namespace testsupport {

struct MailboxMessage {
  QINT64 tag = 0;
  std::string body;
};

// The first message waiting (an empty one with tag 0 when none is).
inline MailboxMessage TakeMailboxMessage(QID mailbox) {
  QINT64 size = 0, tag = 0, spare = 0;
  HostObjMessageRead(mailbox, nullptr, 0, &size, &tag, &spare, Q_DEFAULT);
  std::string body(static_cast<size_t>(size), '\0');
  char none = 0;
  HostObjMessageRead(mailbox, size > 0 ? body.data() : &none, size, &size, &tag, &spare, Q_DEFAULT);
  return {tag, std::move(body)};
}

}  // namespace testsupport
