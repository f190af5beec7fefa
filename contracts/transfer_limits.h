/* When a transfer from the device is given up, alike over the network (the
 * XML and HTTP library's transfers) and over USB (the program's own block
 * loop): one that receives less than TRANSFER_MIN_BYTES_PER_STALL within a
 * stall time, whether it stops or trickles a few bytes now and then. The
 * stall time is TRANSFER_DEFAULT_STALL_MS unless the environment variable
 * KIVOR_STALL_TIMEOUT_MS gives another. */
#ifndef TALLOWMERE_CONTRACTS_TRANSFER_LIMITS_H
#define TALLOWMERE_CONTRACTS_TRANSFER_LIMITS_H

#define TRANSFER_DEFAULT_STALL_MS 30000L
#define TRANSFER_MIN_BYTES_PER_STALL 1024L

#endif /* TALLOWMERE_CONTRACTS_TRANSFER_LIMITS_H */
