#include "export/printfeed.h"

#include "platform/error.h"

#include <new>

namespace qen {

namespace {

FedPage failed(const QString &error) {
    FedPage item;
    item.kind = FedPage::Failed;
    item.error = error;
    return item;
}

} // namespace

PrintFeed::PrintFeed(int count, std::function<FedPage(int)> prepare, std::function<void()> ready)
    : m_ahead(
          count, 1,
          [prepare = std::move(prepare)](int index) {
              try {
                  return prepare(index);
              } catch (const Error &e) {
                  return failed(e.description());
              } catch (const std::bad_alloc &) {
                  return failed(QStringLiteral("内存不足，无法准备第 %1 页。").arg(index + 1));
              }
          },
          std::move(ready)) {}

} // namespace qen
