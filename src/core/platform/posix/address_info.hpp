#pragma once

// What getaddrinfo and sockaddr_in need here.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
