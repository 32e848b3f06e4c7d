// Reading the error queue of ICMP sockets: the kernel queues there every ICMP error about our
// requests (redirects too), each with the ICMP header of the request it quotes.
#include "common/net/ErreursIcmp.h"

#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace velmora::net {

namespace {

std::uint16_t Lire16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

// The extended error attached to an error-queue entry, or nullptr.
const sock_extended_err* ErreurEtendue(msghdr& message) {
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c))
        if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_RECVERR &&
            c->cmsg_len >= CMSG_LEN(sizeof(sock_extended_err)))
            return reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
    return nullptr;
}

bool EstManqueDePlace(int erreur) {
    return erreur == ENOBUFS || erreur == EAGAIN || erreur == ENOMEM || erreur == EINTR;
}

}  // namespace

bool ErreurIcmpFinale(std::uint8_t type) {
    return type == ICMP_DEST_UNREACH || type == ICMP_TIME_EXCEEDED;
}

int LireFileErreursIcmp(int fd, const std::function<void(const ErreurIcmp&)>& surErreur) {
    int lues = 0;
    for (;;) {
        std::uint8_t cite[576];
        alignas(cmsghdr) char controle[512];
        sockaddr_in destination{};
        iovec morceau{cite, sizeof cite};
        msghdr message{};
        message.msg_name = &destination;
        message.msg_namelen = sizeof destination;
        message.msg_iov = &morceau;
        message.msg_iovlen = 1;
        message.msg_control = controle;
        message.msg_controllen = sizeof controle;
        const ssize_t n = ::recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) continue;
            return lues;
        }
        ++lues;
        const sock_extended_err* erreur = ErreurEtendue(message);
        if (!erreur || erreur->ee_origin != SO_EE_ORIGIN_ICMP || !ErreurIcmpFinale(erreur->ee_type))
            continue;
        // The data of an entry is the ICMP header of the request that caused it.
        if (n < 8 || cite[0] != ICMP_ECHO) continue;
        surErreur({Lire16(cite + 4), Lire16(cite + 6), destination.sin_addr.s_addr});
    }
}

bool EnvoyerIcmp(int fd, const void* paquet, std::size_t taille, const sockaddr_in& destination,
                 std::chrono::steady_clock::time_point fin,
                 const std::function<void(const ErreurIcmp&)>& surErreur) {
    // A report can also clear the queue just before its error is set on the socket: one
    // failure with an empty queue may still be someone else's, two in a row are ours.
    int sansEntree = 0;
    for (;;) {
        if (::sendto(fd, paquet, taille, MSG_DONTWAIT,
                     reinterpret_cast<const sockaddr*>(&destination), sizeof destination) >= 0)
            return true;
        const int erreur = errno;
        if (EstManqueDePlace(erreur)) return false;
        // Another request's report was pending: read the queue, then send again.
        sansEntree = LireFileErreursIcmp(fd, surErreur) == 0 ? sansEntree + 1 : 0;
        if (sansEntree >= 2 || std::chrono::steady_clock::now() >= fin) {
            errno = erreur;
            return false;
        }
    }
}

}  // namespace velmora::net
