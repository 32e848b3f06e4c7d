// Remote power actions: delayed restart or shutdown and its cancellation (Windows remote
// shutdown RPC through Samba's `net rpc`), and the immediate WMI actions (through the
// velmora-wmi helper). Credentials never appear on a command line.
#pragma once

#include <string>

namespace velmora::net {

// Which credentials an action uses, chosen in this order: the machine's own login when it is
// not empty; else, with AuthentificationMode 1, the configured account; else the user's own
// (a Kerberos ticket when one exists).
struct Identifiants {
    std::string login;
    std::string motDePasse;
    bool propres = false;  // true: the caller's own credentials, no login
};
Identifiants ChoisirIdentifiants(const std::string& login, const std::string& motDePasse);

// Asks `machine` (address or name, passed as given) to restart (`redemarrer`) or shut down
// after `delai` seconds, showing `message`, closing applications without asking when `forcer`.
// True when the machine accepted. On refusal `messageErreur` reads "<reason> (err=<n>)" with
// the Windows error number when the tool names one (access denied gives 5), else the tool's
// exit status. When Samba's `net` is missing the text names the package samba-common-bin.
bool ArreterADistance(const std::string& machine, long long delai, const std::string& message,
                      bool forcer, bool redemarrer, const std::string& login,
                      const std::string& motDePasse, std::string& messageErreur);

// Cancels a pending restart or shutdown on `machine`; results as ArreterADistance.
bool AnnulerArret(const std::string& machine, const std::string& login,
                  const std::string& motDePasse, std::string& messageErreur);

// Runs WMI action `action` on the primary operating system of `machine`: 5 lock the session,
// 6 log off, 7 hibernate, 8 restart, 9 power off, 10 shut down (forced). True when the
// connection and the call raised no error (a non-zero method status still counts as success);
// other codes do nothing and succeed. On failure "<description> (err=<n>)"; a missing helper
// or Impacket gives a text naming what to install (python3-impacket).
bool ActionWMI(const std::string& machine, long long action, const std::string& login,
               const std::string& motDePasse, std::string& messageErreur);

// Kept for the callers' order of work. Each remote call carries its own credentials, so no
// lasting "ipc$" session is opened or closed: these do nothing.
void ConnecterIPC(const std::string& machine, const std::string& login,
                  const std::string& motDePasse);
void DeconnecterIPC(const std::string& machine);
// Nothing to enable on this system (the remote side checks the right); always true.
bool ActiverPrivilegeArret(const std::string& machine);

}  // namespace velmora::net
