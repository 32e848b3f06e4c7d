"""Idle-connection flood against velmora-relay on loopback, and a legitimate client meanwhile.

Opens COUNT connections from ADDRESSES loopback source addresses (127.0.x.y), each sending the
start of a request and nothing more, then times REQUESTS wake requests of a client on new
connections. Prints the median and the 99th percentile in ms. Loopback only.
Usage: relais_flot.py PORT UDP_PORT COUNT ADDRESSES [REQUESTS]
"""
import socket
import sys
import time


def main():
    port, udp, count, addresses = (int(a) for a in sys.argv[1:5])
    requests = int(sys.argv[5]) if len(sys.argv) > 5 else 100
    flood = []
    for i in range(count):
        n = i % addresses
        s = socket.socket()
        s.setblocking(False)
        s.bind(("127.0.%d.%d" % (2 + n // 250, 1 + n % 250), 0))
        try:
            s.connect(("127.0.0.1", port))
        except BlockingIOError:
            pass
        flood.append(s)
    time.sleep(0.3)
    for s in flood:
        try:
            s.send(b"GET /?mac=")
        except OSError:
            pass
    time.sleep(0.2)
    request = ("GET /?mac=00:11:22:33:44:55&port=%d HTTP/1.1\r\nHost: relay\r\n"
               "Connection: close\r\n\r\n" % udp).encode()
    times, ok = [], 0
    for _ in range(requests):
        start = time.monotonic()
        try:
            c = socket.create_connection(("127.0.0.1", port), timeout=10)
            c.sendall(request)
            answer = b""
            while True:
                part = c.recv(4096)
                if not part:
                    break
                answer += part
            c.close()
            ok += answer.startswith(b"HTTP/1.1 200 OK")
        except OSError:
            pass
        times.append((time.monotonic() - start) * 1000)
    times.sort()
    print("flood of %d connections from %d addresses: %d/%d answered 200, "
          "median %.1f ms, p99 %.1f ms (goal: p99 under 100 ms)"
          % (count, addresses, ok, requests, times[len(times) // 2],
             times[len(times) * 99 // 100 - 1]))
    for s in flood:
        s.close()


if __name__ == "__main__":
    main()
