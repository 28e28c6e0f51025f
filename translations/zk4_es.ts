<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>main</name>
    <message>
        <source>Show this help and exit.</source>
        <translation>Muestra esta ayuda y termina.</translation>
    </message>
    <message>
        <source>Show the version and exit.</source>
        <translation>Muestra la versión y termina.</translation>
    </message>
    <message>
        <source>file</source>
        <translation>archivo</translation>
    </message>
    <message>
        <source>Write every byte sent and received, with its time, to &lt;file&gt;.</source>
        <translation>Escribe en &lt;archivo&gt; cada byte enviado y recibido, con su hora.</translation>
    </message>
    <message>
        <source>Usage: %1 [options]</source>
        <translation>Uso: %1 [opciones]</translation>
    </message>
    <message>
        <source>Finds a ZK4 vehicle-bus interface on a serial port, identifies it, shows its live values and changes its settings.</source>
        <translation>Busca una interfaz de bus vehicular ZK4 en un puerto serie, la identifica, muestra sus valores en tiempo real y cambia su configuración.</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Opciones:</translation>
    </message>
    <message>
        <source>Settings:</source>
        <translation>Configuración:</translation>
    </message>
    <message>
        <source>%1 remembers the port last used. This copy is installed (%2 in a folder bin beside share/%3), so it keeps the file in the user&apos;s configuration folder, never beside itself:</source>
        <translation>%1 recuerda el último puerto usado. Esta copia está instalada (%2 en una carpeta bin junto a share/%3), así que guarda el archivo en la carpeta de configuración del usuario, nunca junto a sí misma:</translation>
    </message>
    <message>
        <source>%1 remembers the port last used. This copy is portable (an installed copy is %2 in a folder bin beside share/%3 and keeps the file in the user&apos;s configuration folder). It keeps the file beside the executable when that folder can be written, or when the file there can be read and written:</source>
        <translation>%1 recuerda el último puerto usado. Esta copia es portátil (una copia instalada es %2 en una carpeta bin junto a share/%3 y guarda el archivo en la carpeta de configuración del usuario). Guarda el archivo junto al ejecutable si se puede escribir en esa carpeta, o si el archivo que está allí se puede leer y escribir:</translation>
    </message>
    <message>
        <source>otherwise in the user&apos;s configuration folder:</source>
        <translation>si no, en la carpeta de configuración del usuario:</translation>
    </message>
    <message>
        <source>Port links:</source>
        <translation>Enlaces de puertos:</translation>
    </message>
    <message>
        <source>A link ports/COMn names the device of port COMn and wins over the table below. The first of these folders that holds the link counts:</source>
        <translation>Un enlace ports/COMn indica el dispositivo del puerto COMn y tiene prioridad sobre la tabla de abajo. Cuenta la primera de estas carpetas que contenga el enlace:</translation>
    </message>
    <message>
        <source>Ports without a link:</source>
        <translation>Puertos sin enlace:</translation>
    </message>
    <message>
        <source>Unexpected argument &apos;%1&apos;.</source>
        <translation>Argumento inesperado &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>%1 needs a file name.</source>
        <translation>%1 requiere un nombre de archivo.</translation>
    </message>
    <message>
        <source>Try &apos;%1 --help&apos;.</source>
        <translation>Pruebe &apos;%1 --help&apos;.</translation>
    </message>
    <message>
        <source>The tool runs without a trace.</source>
        <translation>La herramienta funciona sin registro de tráfico.</translation>
    </message>
</context>
<context>
    <name>zk4</name>
    <message>
        <source>This release requires ZK4 (firmware) version 0.5N; please update your device accordingly.</source>
        <translation>Esta versión requiere el firmware 0.5N del ZK4; actualice su equipo.</translation>
    </message>
    <message>
        <source>Not Found Yet!</source>
        <translation>¡Sin detectar!</translation>
    </message>
    <message>
        <source>Not available</source>
        <translation>No disponible</translation>
    </message>
    <message>
        <source>Firmware Version:</source>
        <translation>Versión de firmware:</translation>
    </message>
    <message>
        <source>Device Voltage (V)</source>
        <translation>Voltaje del equipo (V)</translation>
    </message>
    <message>
        <source>Engine Speed (RPM)</source>
        <translation>Vel. motor (RPM)</translation>
    </message>
    <message>
        <source>Vehicle Speed (MPH)</source>
        <translation>Vel. vehículo (MPH)</translation>
    </message>
    <message>
        <source>Cylinder Number</source>
        <translation>Número de cilindros</translation>
    </message>
    <message>
        <source>Hz Vs. MPH (Hz/MPH)</source>
        <translation>Hz vs. MPH (Hz/MPH)</translation>
    </message>
    <message>
        <source>Cannot open %1 (%2): the device does not exist. Check that the adapter is plugged in, or link ports/%1 to the right device.</source>
        <translation>No se puede abrir %1 (%2): el dispositivo no existe. Revise que el adaptador esté conectado, o enlace ports/%1 al dispositivo correcto.</translation>
    </message>
    <message>
        <source>Cannot open %1 (%2): permission denied. Add your user to the dialout group (sudo usermod -aG dialout $USER), then log out and in again.</source>
        <translation>No se puede abrir %1 (%2): permiso denegado. Agregue su usuario al grupo dialout (sudo usermod -aG dialout $USER) y después cierre la sesión y vuelva a iniciarla.</translation>
    </message>
    <message>
        <source>Cannot open %1 (%2): the port is in use by another program (process %3).</source>
        <translation>No se puede abrir %1 (%2): otro programa está usando el puerto (proceso %3).</translation>
    </message>
    <message>
        <source>Cannot open %1 (%2): the port is in use by another program.</source>
        <translation>No se puede abrir %1 (%2): otro programa está usando el puerto.</translation>
    </message>
    <message>
        <source>Cannot open %1 (%2): cannot lock the device: %3.</source>
        <translation>No se puede abrir %1 (%2): no se puede bloquear el dispositivo: %3.</translation>
    </message>
    <message>
        <source>Cannot open %1 (%2): %3.</source>
        <translation>No se puede abrir %1 (%2): %3.</translation>
    </message>
    <message>
        <source>Cannot open %1 (%2): the device does not accept the settings %4 (%3).</source>
        <translation>No se puede abrir %1 (%2): el dispositivo no acepta los parámetros %4 (%3).</translation>
    </message>
    <message>
        <source>Cannot apply the settings %4 to %1 (%2): the device does not accept them (%3).</source>
        <translation>No se pueden aplicar los parámetros %4 a %1 (%2): el dispositivo no los acepta (%3).</translation>
    </message>
    <message>
        <source>Invalid serial settings &quot;%4&quot;: expected baud rate, parity, data bits and stop bits, such as 115200,n,8,1.</source>
        <translation>Parámetros seriales no válidos &quot;%4&quot;: se esperan velocidad en baudios, paridad, bits de datos y bits de parada, por ejemplo 115200,n,8,1.</translation>
    </message>
    <message>
        <source>Cannot write to %1: the port is not open.</source>
        <translation>No se puede escribir en %1: el puerto no está abierto.</translation>
    </message>
    <message>
        <source>Cannot read from %1: the port is not open.</source>
        <translation>No se puede leer de %1: el puerto no está abierto.</translation>
    </message>
    <message>
        <source>Cannot write to %1 (%2): the device was disconnected. Check the cable and the adapter.</source>
        <translation>No se puede escribir en %1 (%2): el dispositivo se desconectó. Revise el cable y el adaptador.</translation>
    </message>
    <message>
        <source>Cannot write to %1 (%2): the device does not take the data. Check the cable, the adapter and the flow control.</source>
        <translation>No se puede escribir en %1 (%2): el dispositivo no recibe los datos. Revise el cable, el adaptador y el control de flujo.</translation>
    </message>
    <message>
        <source>Cannot write to %1 (%2): %3.</source>
        <translation>No se puede escribir en %1 (%2): %3.</translation>
    </message>
    <message>
        <source>Cannot write the port setting to %1: the folder does not exist.</source>
        <translation>No se puede guardar el puerto en %1: la carpeta no existe.</translation>
    </message>
    <message>
        <source>Cannot write the port setting to %1: the file no longer exists.</source>
        <translation>No se puede guardar el puerto en %1: el archivo ya no existe.</translation>
    </message>
    <message>
        <source>Cannot write the port setting to %1: the folder is read-only.</source>
        <translation>No se puede guardar el puerto en %1: la carpeta es de solo lectura.</translation>
    </message>
    <message>
        <source>Cannot write the port setting to %1: permission denied.</source>
        <translation>No se puede guardar el puerto en %1: permiso denegado.</translation>
    </message>
    <message>
        <source>Cannot write the port setting to %1: the file system is read-only.</source>
        <translation>No se puede guardar el puerto en %1: el sistema de archivos es de solo lectura.</translation>
    </message>
    <message>
        <source>Cannot write the port setting to %1: the path is a folder, not a file.</source>
        <translation>No se puede guardar el puerto en %1: la ruta es una carpeta, no un archivo.</translation>
    </message>
    <message>
        <source>Cannot write the port setting to %1: the path is not a regular file.</source>
        <translation>No se puede guardar el puerto en %1: la ruta no es un archivo normal.</translation>
    </message>
    <message>
        <source>Cannot write the port setting to %1: the disk is full.</source>
        <translation>No se puede guardar el puerto en %1: el disco está lleno.</translation>
    </message>
    <message>
        <source>Cannot write the port setting to %1: the file is locked by another program.</source>
        <translation>No se puede guardar el puerto en %1: otro programa tiene bloqueado el archivo.</translation>
    </message>
    <message>
        <source>Cannot write the port setting to %1: %2.</source>
        <translation>No se puede guardar el puerto en %1: %2.</translation>
    </message>
    <message>
        <source>Cannot write the port setting to %1: only %2 of %3 bytes could be written.</source>
        <translation>No se puede guardar el puerto en %1: solo se pudieron escribir %2 de %3 bytes.</translation>
    </message>
    <message>
        <source>The device has not taken the new settings: it reports cylinder number &quot;%1&quot; and Hz per MPH &quot;%2&quot;.</source>
        <translation>El equipo no aceptó la nueva configuración: informa número de cilindros &quot;%1&quot; y Hz por MPH &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>The device has not taken the new cylinder number: it reports &quot;%1&quot;.</source>
        <translation>El equipo no aceptó el nuevo número de cilindros: informa &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>The device has not taken the new Hz per MPH: it reports &quot;%1&quot;.</source>
        <translation>El equipo no aceptó el nuevo valor de Hz por MPH: informa &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a port: the port box takes COM1 to COM30. To use another device, link it as ports/COMn and choose COMn.</source>
        <translation>&quot;%1&quot; no es un puerto: la lista de puertos admite de COM1 a COM30. Para usar otro dispositivo, enlácelo como ports/COMn y elija COMn.</translation>
    </message>
    <message>
        <source>Please enter a number.</source>
        <translation>Ingrese un número.</translation>
    </message>
    <message>
        <source>Please enter a positive integer.</source>
        <translation>Ingrese un número entero positivo.</translation>
    </message>
    <message>
        <source>Please enter a number between %1 and %2.</source>
        <translation>Ingrese un número entre %1 y %2.</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Salir</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Pto.:</translation>
    </message>
    <message>
        <source>D&amp;isconnect</source>
        <translation>&amp;Desconectar</translation>
    </message>
    <message>
        <source>C&amp;onnect</source>
        <translation>&amp;Conectar</translation>
    </message>
    <message>
        <source>Step 1: Connect to Ek ZK4-J1939</source>
        <translation>Paso 1: Conectar con el Ek ZK4-J1939</translation>
    </message>
    <message>
        <source>Product ID:</source>
        <translation>ID del producto:</translation>
    </message>
    <message>
        <source>SN:</source>
        <translation>N.º serie:</translation>
    </message>
    <message>
        <source>Cylinder Number Config.</source>
        <translation>Config. de cilindros</translation>
    </message>
    <message>
        <source>Hz Vs. MPH config.</source>
        <translation>Config. Hz vs. MPH</translation>
    </message>
    <message>
        <source>Step 2: Config Ek ZK4-J1939</source>
        <translation>Paso 2: Configurar el Ek ZK4-J1939</translation>
    </message>
    <message>
        <source>Ek ZK4-J1939 Configuration and running status</source>
        <translation>Configuración y estado de operación del Ek ZK4-J1939</translation>
    </message>
    <message>
        <source>Proceed to &amp;Change</source>
        <translation>&amp;Aplicar cambios</translation>
    </message>
    <message>
        <source>&amp;Factory Default</source>
        <translation>&amp;Valores de fábrica</translation>
    </message>
    <message>
        <source>ZK4 (J1939/J1708/J1587/OBD2-CAN) Toolset V1.00A Build 06222021-01</source>
        <translation>ZK4 (J1939/J1708/J1587/OBD2-CAN) Toolset V1.00A, compilación 06222021-01</translation>
    </message>
    <message>
        <source>About Ek ZK4 (J1939/J1708/J1587/OBD2-CAN) Toolset</source>
        <translation>Acerca de Ek ZK4 (J1939/J1708/J1587/OBD2-CAN) Toolset</translation>
    </message>
    <message>
        <source>Ek ZK4 (J1939/J1708/J1587/OBD2-CAN) Toolset</source>
        <translation>Ek ZK4 (J1939/J1708/J1587/OBD2-CAN) Toolset</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>Product Information</source>
        <translation>Información del producto</translation>
    </message>
    <message>
        <source>Product SN:</source>
        <translation>N.º serie:</translation>
    </message>
    <message>
        <source>&amp;About ZK4 Toolset...</source>
        <translation>&amp;Acerca de ZK4 Toolset...</translation>
    </message>
    <message>
        <source>Cannot write the values to %1: %2.</source>
        <translation>No se pueden escribir los valores en %1: %2.</translation>
    </message>
    <message>
        <source>No ZK4 is linked: connect one, then drive at a steady speed.</source>
        <translation>No hay ningún ZK4 enlazado: conecte uno y luego conduzca a velocidad constante.</translation>
    </message>
    <message>
        <source>This ZK4 variant has no Hz-per-MPH setting.</source>
        <translation>Esta variante de ZK4 no tiene el ajuste Hz por MPH.</translation>
    </message>
    <message>
        <source>%1 s of values so far: the average needs 10 s at a steady speed.</source>
        <translation>Hay %1 s de valores hasta ahora: el promedio necesita 10 s a velocidad constante.</translation>
    </message>
    <message>
        <source>The Hz-per-MPH setting changed during the last 10 s: wait for 10 s of values with the new one.</source>
        <translation>El ajuste Hz por MPH cambió durante los últimos 10 s: espere 10 s de valores con el nuevo.</translation>
    </message>
    <message>
        <source>The vehicle is under 5 MPH (%1 MPH reported): drive at a steady speed of at least 5 MPH.</source>
        <translation>El vehículo va a menos de 5 MPH (se informan %1 MPH): conduzca a una velocidad constante de al menos 5 MPH.</translation>
    </message>
    <message>
        <source>The speed varied by %1 % over the last 10 s (%2 to %3 MPH): hold it steady, within 5 %.</source>
        <translation>La velocidad varió un %1 % en los últimos 10 s (de %2 a %3 MPH): manténgala constante, dentro del 5 %.</translation>
    </message>
    <message>
        <source>Enter the true speed.</source>
        <translation>Ingrese la velocidad real.</translation>
    </message>
    <message>
        <source>The true speed is under 5 MPH (%1 MPH).</source>
        <translation>La velocidad real es menor de 5 MPH (%1 MPH).</translation>
    </message>
    <message>
        <source>The new setting would be %1, outside the range 0.25 to 99.9999 that the device takes.</source>
        <translation>El nuevo ajuste sería %1, fuera del rango de 0.25 a 99.9999 que acepta el equipo.</translation>
    </message>
    <message>
        <source>%1: not present</source>
        <translation>%1: no presente</translation>
    </message>
    <message>
        <source>%1: serial %3</source>
        <translation>%1: n.º de serie %3</translation>
    </message>
    <message>
        <source>%1: %2, serial %3</source>
        <translation>%1: %2, n.º de serie %3</translation>
    </message>
    <message>
        <source>%1: present</source>
        <translation>%1: presente</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Cannot write the trace to %1: %2.</source>
        <translation>No se puede escribir el registro de tráfico en %1: %2.</translation>
    </message>
    <message>
        <source>Free software under the GNU GPL, version 3 or later.</source>
        <translation>Software libre bajo la GNU GPL, versión 3 o posterior.</translation>
    </message>
    <message>
        <source>There is NO WARRANTY, to the extent permitted by law.</source>
        <translation>NO hay GARANTÍA, en la medida en que lo permita la ley.</translation>
    </message>
</context>
<context>
    <name>zk4::CToolsetDlg</name>
    <message>
        <source>The tool keeps looking for the device once a second. Click Disconnect to stop.</source>
        <translation>La herramienta sigue buscando el equipo una vez por segundo. Haga clic en Desconectar para detenerla.</translation>
    </message>
    <message>
        <source>The port you choose is used, but it will not be remembered next time.</source>
        <translation>Se usa el puerto que elija, pero no se recordará la próxima vez.</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Cerrar</translation>
    </message>
</context>
<context>
    <name>zk4::ChartWindow</name>
    <message>
        <source>ZK4 Chart</source>
        <translation>Gráfica ZK4</translation>
    </message>
    <message>
        <source>The last five minutes, one point a poll. A gap: no values came (the link was down).</source>
        <translation>Los últimos cinco minutos, un punto por consulta. Un hueco: no llegaron valores (el enlace estaba caído).</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>now</source>
        <translation>ahora</translation>
    </message>
</context>
<context>
    <name>zk4::SpeedCalibrationDlg</name>
    <message>
        <source>Calibrate Speed</source>
        <translation>Calibrar velocidad</translation>
    </message>
    <message>
        <source>Drive at a steady speed of at least 5 MPH. The speed the device reports is averaged over the last 10 seconds; enter the true speed over the same time.</source>
        <translation>Conduzca a una velocidad constante de al menos 5 MPH. La velocidad que informa el equipo se promedia en los últimos 10 segundos; ingrese la velocidad real en ese mismo tiempo.</translation>
    </message>
    <message>
        <source>Reported speed, last 10 s:</source>
        <translation>Velocidad informada, últimos 10 s:</translation>
    </message>
    <message>
        <source>Steadiness:</source>
        <translation>Constancia:</translation>
    </message>
    <message>
        <source>Hz per MPH in the device:</source>
        <translation>Hz por MPH en el equipo:</translation>
    </message>
    <message>
        <source>True speed</source>
        <translation>Velocidad real</translation>
    </message>
    <message>
        <source>From a &amp;GPS, in MPH:</source>
        <translation>Por &amp;GPS, en MPH:</translation>
    </message>
    <message>
        <source>Over a measured &amp;mile, its time in seconds:</source>
        <translation>En una &amp;milla medida, su tiempo en segundos:</translation>
    </message>
    <message>
        <source>New Hz per MPH:</source>
        <translation>Nuevo Hz por MPH:</translation>
    </message>
    <message>
        <source>OK puts the new setting into the Hz-per-MPH box; Proceed to Change sends it to the device.</source>
        <translation>Aceptar pone el nuevo ajuste en la casilla Hz por MPH; Aplicar cambios lo envía al equipo.</translation>
    </message>
    <message>
        <source>%1 MPH over %2 s</source>
        <translation>%1 MPH en %2 s</translation>
    </message>
    <message>
        <source>%1 to %2 MPH, a spread of %3 % (at most 5 %)</source>
        <translation>de %1 a %2 MPH, una variación de %3 % (máximo 5 %)</translation>
    </message>
    <message>
        <source>= %1 MPH</source>
        <translation>= %1 MPH</translation>
    </message>
</context>
<context>
    <name>zk4::Workshop</name>
    <message>
        <source>&amp;Record values...</source>
        <translation>&amp;Registrar valores...</translation>
    </message>
    <message>
        <source>C&amp;hart...</source>
        <translation>&amp;Gráfica...</translation>
    </message>
    <message>
        <source>Calibrate &amp;speed...</source>
        <translation>Calibrar &amp;velocidad...</translation>
    </message>
    <message>
        <source>The recording has stopped.</source>
        <translation>El registro se detuvo.</translation>
    </message>
    <message>
        <source>Record Values</source>
        <translation>Registrar valores</translation>
    </message>
    <message>
        <source>CSV files (*.csv);;All files (*)</source>
        <translation>Archivos CSV (*.csv);;Todos los archivos (*)</translation>
    </message>
    <message>
        <source>&amp;Record</source>
        <translation>&amp;Registrar</translation>
    </message>
    <message>
        <source>Stop &amp;recording</source>
        <translation>Detener &amp;registro</translation>
    </message>
</context>
<context>
    <name>zk4ctl</name>
    <message>
        <source>List COM1 to COM30: the device each stands for, whether it is present and what the system says it is.</source>
        <translation>Lista COM1 a COM30: el dispositivo que representa cada uno, si está presente y qué dice el sistema que es.</translation>
    </message>
    <message>
        <source>Look for a ZK4 on every present port at once and list each one found: port, product ID, serial number, firmware.</source>
        <translation>Busca un ZK4 en todos los puertos presentes a la vez y lista cada uno que encuentre: puerto, ID del producto, número de serie, firmware.</translation>
    </message>
    <message>
        <source>Identify the device and print one poll of its values.</source>
        <translation>Identifica el equipo e imprime una lectura de sus valores.</translation>
    </message>
    <message>
        <source>Print the device&apos;s values once a second, until Ctrl-C or --count rows: a table on a terminal, CSV to a pipe. An unplugged device is looked for again.</source>
        <translation>Imprime los valores del equipo una vez por segundo, hasta Ctrl-C o --count filas: una tabla en una terminal, CSV hacia una tubería. Si el equipo se desconecta, se vuelve a buscar.</translation>
    </message>
    <message>
        <source>Send the cylinder number, Hz per MPH or both (what the device&apos;s variant takes) and check over two polls that the device took them.</source>
        <translation>Envía el número de cilindros, los Hz por MPH o ambos (lo que admita la variante del equipo) y comprueba en dos lecturas que el equipo los aceptó.</translation>
    </message>
    <message>
        <source>Send the factory settings (cylinder number 4, Hz per MPH 1.7881; what the variant takes) and check them in the same way.</source>
        <translation>Envía la configuración de fábrica (número de cilindros 4, Hz por MPH 1.7881; lo que admita la variante) y la comprueba de la misma forma.</translation>
    </message>
    <message>
        <source>Show this help and exit.</source>
        <translation>Muestra esta ayuda y termina.</translation>
    </message>
    <message>
        <source>Show the version and exit.</source>
        <translation>Muestra la versión y termina.</translation>
    </message>
    <message>
        <source>COMn</source>
        <translation>COMn</translation>
    </message>
    <message>
        <source>The port, COM1 to COM30. Without it, the port the ZK4 window remembers, else COM1.</source>
        <translation>El puerto, de COM1 a COM30. Sin esta opción, el puerto que recuerda la ventana de ZK4; si no hay, COM1.</translation>
    </message>
    <message>
        <source>JSON instead of text: an array of objects for ports and scan, one object for the others, one object a line for watch.</source>
        <translation>JSON en lugar de texto: un arreglo de objetos para ports y scan, un objeto para los demás, un objeto por línea para watch.</translation>
    </message>
    <message>
        <source>file</source>
        <translation>archivo</translation>
    </message>
    <message>
        <source>Also append every row to &lt;file&gt; as CSV, each on the disk before the next poll (a header first in a new or empty file).</source>
        <translation>Agrega además cada fila a &lt;archivo&gt; en CSV, cada una en el disco antes de la siguiente lectura (primero un encabezado si el archivo es nuevo o está vacío).</translation>
    </message>
    <message>
        <source>n</source>
        <translation>n</translation>
    </message>
    <message>
        <source>Stop after &lt;n&gt; rows.</source>
        <translation>Termina después de &lt;n&gt; filas.</translation>
    </message>
    <message>
        <source>The cylinder number to send, 1 to 12.</source>
        <translation>El número de cilindros a enviar, de 1 a 12.</translation>
    </message>
    <message>
        <source>x</source>
        <translation>x</translation>
    </message>
    <message>
        <source>The Hz per MPH to send, 0.25 to 99.9999.</source>
        <translation>Los Hz por MPH a enviar, de 0.25 a 99.9999.</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>segundos</translation>
    </message>
    <message>
        <source>How long a ZK4 has to answer, 0.1 to 3600 seconds; default 5, for scan 3.</source>
        <translation>Cuánto tiempo tiene un ZK4 para responder, de 0.1 a 3600 segundos; 5 por omisión, 3 para scan.</translation>
    </message>
    <message>
        <source>Write every byte sent and received, with its time, to &lt;file&gt;.</source>
        <translation>Escribe en &lt;archivo&gt; cada byte enviado y recibido, con su hora.</translation>
    </message>
    <message>
        <source>Done.</source>
        <translation>Terminado.</translation>
    </message>
    <message>
        <source>A wrong command, option or value, a file that cannot be written, or settings the device&apos;s variant does not take; nothing was sent.</source>
        <translation>Un comando, opción o valor incorrecto, un archivo en el que no se puede escribir, o una configuración que la variante del equipo no admite; no se envió nada.</translation>
    </message>
    <message>
        <source>The port cannot be opened (the reason is on standard error), or it went away.</source>
        <translation>No se puede abrir el puerto (el motivo sale por la salida de errores), o desapareció.</translation>
    </message>
    <message>
        <source>No ZK4 answered within the time limit.</source>
        <translation>Ningún ZK4 respondió dentro del tiempo límite.</translation>
    </message>
    <message>
        <source>The ZK4 has firmware this tool does not support.</source>
        <translation>El ZK4 tiene un firmware que esta herramienta no admite.</translation>
    </message>
    <message>
        <source>The device did not take the settings.</source>
        <translation>El equipo no aceptó la configuración.</translation>
    </message>
    <message>
        <source>Interrupted (SIGINT, SIGTERM or SIGHUP) before it was done; watch ends with 0.</source>
        <translation>Interrumpido (SIGINT, SIGTERM o SIGHUP) antes de terminar; watch termina con 0.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a port: --port takes COM1 to COM30.</source>
        <translation>&apos;%1&apos; no es un puerto: --port admite de COM1 a COM30.</translation>
    </message>
    <message>
        <source>%1 needs a file name.</source>
        <translation>%1 requiere un nombre de archivo.</translation>
    </message>
    <message>
        <source>--count takes a whole number from 1 up, not &apos;%1&apos;.</source>
        <translation>--count admite un número entero desde 1, no &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>--cylinders takes a whole number from 1 to 12, not &apos;%1&apos;.</source>
        <translation>--cylinders admite un número entero de 1 a 12, no &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>--hz-per-mph takes a number from %2 to %3, not &apos;%1&apos;.</source>
        <translation>--hz-per-mph admite un número de %2 a %3, no &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>--timeout takes a number of seconds from 0.1 to 3600, not &apos;%1&apos;.</source>
        <translation>--timeout admite un número de segundos de 0.1 a 3600, no &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>Unknown command &apos;%1&apos;; the commands are %2.</source>
        <translation>Comando desconocido &apos;%1&apos;; los comandos son %2.</translation>
    </message>
    <message>
        <source>Unexpected argument &apos;%1&apos;.</source>
        <translation>Argumento inesperado &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>%1 does not go with %2.</source>
        <translation>%1 no se puede usar con %2.</translation>
    </message>
    <message>
        <source>No command given; the commands are %1.</source>
        <translation>No se indicó ningún comando; los comandos son %1.</translation>
    </message>
    <message>
        <source>set needs --cylinders, --hz-per-mph or both.</source>
        <translation>set requiere --cylinders, --hz-per-mph o ambos.</translation>
    </message>
    <message>
        <source>Usage: zk4ctl &lt;command&gt; [options]</source>
        <translation>Uso: zk4ctl &lt;comando&gt; [opciones]</translation>
    </message>
    <message>
        <source>Talks to a ZK4 vehicle-bus interface on a serial port as the ZK4 window does, for scripts, workshop benches and sessions without a display.</source>
        <translation>Se comunica con una interfaz de bus vehicular ZK4 en un puerto serie como lo hace la ventana de ZK4, para scripts, bancos de taller y sesiones sin pantalla.</translation>
    </message>
    <message>
        <source>Commands:</source>
        <translation>Comandos:</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Opciones:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Puerto:</translation>
    </message>
    <message>
        <source>Without --port, the port that the ZK4 window remembers for this user in</source>
        <translation>Sin --port, el puerto que la ventana de ZK4 recuerda para este usuario en</translation>
    </message>
    <message>
        <source>else COM1; zk4ctl only reads that file. A port is opened as the window opens it, through its ports/COMn links (see ZK4 --help).</source>
        <translation>y si no, COM1; zk4ctl solo lee ese archivo. El puerto se abre como lo abre la ventana, a través de sus enlaces ports/COMn (vea ZK4 --help).</translation>
    </message>
    <message>
        <source>Exit status:</source>
        <translation>Estado de salida:</translation>
    </message>
    <message>
        <source>zk4ctl goes on without a trace.</source>
        <translation>zk4ctl continúa sin registro de tráfico.</translation>
    </message>
    <message>
        <source>The device on %1 (%2) answered, but is no ZK4 this tool knows.</source>
        <translation>El equipo en %1 (%2) respondió, pero no es un ZK4 que esta herramienta conozca.</translation>
    </message>
    <message>
        <source>No ZK4 answered on %1 (%2) within %3 s.</source>
        <translation>Ningún ZK4 respondió en %1 (%2) en %3 s.</translation>
    </message>
    <message>
        <source>%1: the device stopped answering; looking for it again.</source>
        <translation>%1: el equipo dejó de responder; se vuelve a buscar.</translation>
    </message>
    <message>
        <source>%1 has no cylinder-number setting: --cylinders is left out.</source>
        <translation>%1 no tiene ajuste de número de cilindros: se omite --cylinders.</translation>
    </message>
    <message>
        <source>%1 has no Hz-per-MPH setting: --hz-per-mph is left out.</source>
        <translation>%1 no tiene ajuste de Hz por MPH: se omite --hz-per-mph.</translation>
    </message>
    <message>
        <source>Nothing was sent.</source>
        <translation>No se envió nada.</translation>
    </message>
    <message>
        <source>The device on %1 stopped answering before it reported the new settings.</source>
        <translation>El equipo en %1 dejó de responder antes de informar la nueva configuración.</translation>
    </message>
    <message>
        <source>No ZK4 answered on any port within %1 s.</source>
        <translation>Ningún ZK4 respondió en ningún puerto en %1 s.</translation>
    </message>
    <message>
        <source>Try &apos;zk4ctl --help&apos;.</source>
        <translation>Pruebe &apos;zk4ctl --help&apos;.</translation>
    </message>
</context>
</TS>
