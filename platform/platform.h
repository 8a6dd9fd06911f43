#pragma once
// The device layer: everything that touches the machine goes through here.
// On the device the root is "/" and the linux back-end talks to the real
// hardware; on a host the root is a scratch directory and the sim back-end
// stands in for the chips, so nothing outside that directory ever changes.

#include <QString>
#include <string>

namespace platform {

enum class Backend { Device, Sim };

// Parses "--root DIR", "--device", "--sim" and "--port-offset N" out of
// argv (leaving only Qt's own options, such as "-platform", for Qt) and
// VYX_ROOT, VYX_PORT_OFFSET, chooses the back-end and prepares the root.
// Ends the program before anything is created: with the usage for
// "--help" (code 0), with a message for an option it does not know, a
// missing value or an offset it cannot use (code 2), and for "--device"
// anywhere but on the board (code 1). Call once, first thing in main.
void init(int& argc, char** argv);

// Why this machine is not the controller board (not an ARM processor, or
// no scaler SPI device "/dev/spidev32766.0"); empty on the board. The
// device back-end runs only where this is empty.
std::string boardMissing();

// For tests: a fresh root and the simulated back-end.
void initForTest(const std::string& root);

Backend backend();
inline bool isDevice() { return backend() == Backend::Device; }

// The root all absolute system paths are resolved under ("/" on the device,
// no trailing slash on a host).
const std::string& root();

// "/data/x" -> "<root>/data/x". Relative paths are returned unchanged.
std::string sysPath(const std::string& absPath);
QString sysPath(const QString& absPath);
inline std::string sysPath(const char* absPath) { return sysPath(std::string(absPath)); }

// Creates the "/data" tree the system expects (host only; the device image
// ships it).
void makeDataTree();
// The files a fresh simulated root starts with (host only): the sample OSD
// menu "/data/configs/omenu.json".
void seedSimRoot();

// PC ports. In simulation every PC port (the TCP control port, 10002, 5008,
// 10005, the WiFi commands' 13769 and the cloud server's port) is moved by
// the offset given at start ("--port-offset N" or VYX_PORT_OFFSET), so that
// instances and tests run side by side; on the device there is no offset. pcPort gives the port to open for `port`, or
// -1 when the offset moves it beyond 65535.
int pcPort(int port);
int portOffset();
void setPortOffset(int offset);
// The largest offset: it keeps 13769 within the port range.
constexpr int kMaxPortOffset = 65535 - 13769;

// Host: makes this process the only instance on its root by locking
// "<root>/sim/instance.lock" until it ends. False, with a message naming
// the root and the instance that holds it, when there is one already.
bool claimRoot(std::string* message);

// Fixed pauses of the start-up and the file writes. Tests shorten them with
// setPauseScale(0); thread pacing does not use these.
void pause_ms(unsigned int ms);
void pause_us(unsigned int us);
void setPauseScale(double scale);

// Exit code of the application when the simulated shell ran "reboot".
constexpr int kSimRebootExitCode = 42;

} // namespace platform
