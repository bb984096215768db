#!/usr/bin/python3
"""pyftpdlib on 127.0.0.1 for the FTP client's tests and benchmark.

Usage: ftp_server.py FOLDER [PORT]
Accounts: "vantrel"/"secret" may write FOLDER; "refused"/"secret" gets 553 for every STOR;
"pasv"/"secret" may write FOLDER but gets 500 for PORT, EPRT and EPSV, so only PASV works.
An unfinished upload is deleted (as by vsftpd's delete_failed_uploads).
Listens on PORT, or on a port the system picks; prints the port on the first line of
standard output, then serves until killed.
"""
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class Handler(FTPHandler):
    def on_incomplete_file_received(self, file):
        os.remove(file)

    def ftp_STOR(self, file, mode="w"):
        if self.username == "refused":
            self.respond("553 Could not create file.")
            return
        return super().ftp_STOR(file, mode)

    def refuse_for_pasv_account(self, line, command):
        if self.username == "pasv":
            self.respond("500 Command not understood.")
            return None
        return command(self, line)

    def ftp_PORT(self, line):
        return self.refuse_for_pasv_account(line, FTPHandler.ftp_PORT)

    def ftp_EPRT(self, line):
        return self.refuse_for_pasv_account(line, FTPHandler.ftp_EPRT)

    def ftp_EPSV(self, line):
        return self.refuse_for_pasv_account(line, FTPHandler.ftp_EPSV)


def main():
    folder = sys.argv[1]
    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user("vantrel", "secret", folder, perm="elradfmw")
    authorizer.add_user("refused", "secret", folder, perm="elradfmw")
    authorizer.add_user("pasv", "secret", folder, perm="elradfmw")
    Handler.authorizer = authorizer
    port = int(sys.argv[2]) if len(sys.argv) > 2 else 0
    server = FTPServer(("127.0.0.1", port), Handler)
    print(server.address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
