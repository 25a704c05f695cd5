#include "net/cancellable_transfer.h"

#include "common/owned.h"

namespace veskcheck {
namespace {

constexpr int cancelCheckMs = 100;
// CURLMOPT_QUICK_EXIT, by number: libcurl names it from 8.20 on, and the fallback release of the
// build is older. Before 8.20 resolver threads belong to the transfer, where the easy handle's
// CURLOPT_QUICK_EXIT applies, and the multi handle refuses the option harmlessly.
constexpr auto multiQuickExit = static_cast<CURLMoption>(CURLOPTTYPE_LONG + 21);

using MultiHandle = Owned<CURLM*, curl_multi_cleanup>;

// What curl_easy_perform returns for a failure of the multi loop itself.
CURLcode loopFailure(CURLMcode code) {
    return code == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_BAD_FUNCTION_ARGUMENT;
}

CURLcode drive(CURLM* multi, const CancelFlag& cancel) {
    for (;;) {
        if (cancel.load()) return CURLE_ABORTED_BY_CALLBACK;
        CURLMcode code = curl_multi_poll(multi, nullptr, 0, cancelCheckMs, nullptr);
        int running = 0;
        if (code == CURLM_OK) code = curl_multi_perform(multi, &running);
        if (code != CURLM_OK) return loopFailure(code);
        if (running == 0) {
            int left = 0;
            if (const CURLMsg* message = curl_multi_info_read(multi, &left)) return message->data.result;
        }
    }
}

}  // namespace

CURLcode performCancellable(CURL* easy, const CancelFlag& cancel) {
    const MultiHandle multi(curl_multi_init());
    if (!multi) return CURLE_OUT_OF_MEMORY;
    // As for the easy handle: a resolver thread still waiting for the system is not waited for.
    curl_multi_setopt(multi.get(), multiQuickExit, 1L);
    const CURLMcode added = curl_multi_add_handle(multi.get(), easy);
    if (added != CURLM_OK) return loopFailure(added);
    const CURLcode result = drive(multi.get(), cancel);
    // Detached here, so that a connection cut short is closed before its facts are read.
    curl_multi_remove_handle(multi.get(), easy);
    return result;
}

}  // namespace veskcheck
