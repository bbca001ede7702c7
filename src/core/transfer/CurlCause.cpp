#include "core/transfer/CurlCause.h"

std::string CurlCause(CURLcode result, const std::string& reply, long timeoutSeconds)
{
    const std::string replied = reply.empty() ? std::string() : " (" + reply + ")";
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return "indirizzo del server sconosciuto";
    case CURLE_COULDNT_CONNECT:
        return "server non raggiungibile";
    case CURLE_OPERATION_TIMEDOUT:
        return "nessuna risposta per " + std::to_string(timeoutSeconds) + " s";
    case CURLE_LOGIN_DENIED:
        return "accesso rifiutato dal server" + replied;
    case CURLE_UPLOAD_FAILED:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_DISK_FULL:
    case CURLE_QUOTE_ERROR:
        return "file rifiutato dal server" + replied;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
        return "collegamento interrotto durante l'invio";
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_PORT_FAILED:
    case CURLE_FTP_ACCEPT_FAILED:
        return "risposta del server non valida" + replied;
    case CURLE_USE_SSL_FAILED:
        return "il server non accetta connessioni cifrate";
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
        return "certificato del server non valido";
    case CURLE_SSL_CONNECT_ERROR:
        return "connessione cifrata non riuscita";
    default:
        // libcurl's own description is English.
        return "errore di collegamento (codice libcurl " + std::to_string(int(result)) + ")";
    }
}

