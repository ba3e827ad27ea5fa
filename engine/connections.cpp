#include "engine/connections.h"

#include <objbase.h>
#include <netcon.h>

#include <memory>

#include "framework/scoped.h"

namespace tvx {
namespace {

// The properties record and its two texts come from the connection's allocator.
struct PropertiesDeleter {
    void operator()(NETCON_PROPERTIES* props) const {
        ::CoTaskMemFree(props->pszwName);
        ::CoTaskMemFree(props->pszwDeviceName);
        ::CoTaskMemFree(props);
    }
};

void RestartOne(INetConnection* connection) {
    NETCON_PROPERTIES* raw = nullptr;
    if (FAILED(connection->GetProperties(&raw)) || !raw) return;
    std::unique_ptr<NETCON_PROPERTIES, PropertiesDeleter> props(raw);

    switch (props->Status) {
        case NCS_CONNECTED:
            // A connection that refuses to go down is left as it is.
            if (SUCCEEDED(connection->Disconnect())) {
                ::Sleep(kReconnectPauseMs);
                connection->Connect();
            }
            break;
        case NCS_DISCONNECTED:
            connection->Connect();
            break;
        default:
            break;
    }
}

}  // namespace

void RestartNetworkConnections(RestartWatch* watch) {
    // Balanced only when it succeeded: a thread already in another apartment owes nothing.
    ApartmentScope apartment(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED),
                             &::CoUninitialize);

    ComPtr<INetConnectionManager> manager;
    if (FAILED(::CoCreateInstance(CLSID_ConnectionManager, nullptr, CLSCTX_ALL,
                                  IID_INetConnectionManager, manager.put_void())) ||
        !manager) {
        return;
    }
    ComPtr<IEnumNetConnection> connections;
    if (FAILED(manager->EnumConnections(NCME_DEFAULT, connections.put())) || !connections) return;

    for (;;) {
        // Checked before each connection, never between a disconnect and its connect: a
        // connection taken down is brought up again whatever happens meanwhile.
        if (watch && watch->ending && watch->ending()) break;
        ComPtr<INetConnection> connection;
        ULONG fetched = 0;
        if (connections->Next(1, connection.put(), &fetched) != S_OK) break;
        if (watch) ++watch->connections;
        if (connection) RestartOne(connection.get());
    }
}

}  // namespace tvx
