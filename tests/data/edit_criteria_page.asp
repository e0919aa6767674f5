<%@ Language=VBScript %>
<% Option Explicit %>
<!--#INCLUDE file="../Vistelle/include/DataProvider.asp" -->
<!--#INCLUDE file ="../include/extra.asp" -->
<%
'------------------------------------------------------------------------------
' Page header for the data provider KRMOrders.
' Written by the page editor from the HeaderDTC on this page: change the control,
' not this block; the editor writes it anew whenever the page is saved.
'------------------------------------------------------------------------------
Dim mDataProvider, lLinkedDataProvider
Dim mReturnFields, mReturnLinkedFields, mLinkedFields
Dim lPageSize, lSortField

lPageSize = Request.QueryString("pagesize")
If lPageSize = "" Then lPageSize = 10

Set mDataProvider = NewDataProvider("KRMOrders")
mDataProvider.PageSize = lPageSize
mDataProvider.EnableExtraFilters = false
mDataProvider.StyleSheet = Server.MapPath("../xsl/Generic.xsl")
Set mReturnFields = Server.CreateObject("Scripting.Dictionary")

lSortField = Request.QueryString("sort")
Select Case mDataProvider.Kind
	Case "EAI"
		If lSortField = "" Then lSortField = "Order.Number"
		mDataProvider.KeyFields = Array("Order.Number", "Order.Status")
			mReturnFields.Add "Order.Status", "Order.Status"
			
			mDataProvider.SetKeyValue "Order.Number", 0, CurrentOrderNo()
			mDataProvider.SetKeyValue "Order.Number", 2, GetStatus()
			
			
			
	Case "DRAV"
		If lSortField = "" Then lSortField = "ORDERID"
		mDataProvider.KeyFields = Array("ORDERID", "CUSTOMERID", "ORDERDATE", "STATUS")
			mReturnFields.Add  1, "ORDERID"
			
			mDataProvider.SetKeyValue "ORDERID", 0, "OPEN"
			mDataProvider.SetKeyValue "CUSTOMERID", 1, GetCutoff()
			
			
			
End Select
mDataProvider.SortField = lSortField

If "" <> "" Then
	Set lLinkedDataProvider = NewDataProvider("")
	Set mReturnLinkedFields = Server.CreateObject("Scripting.Dictionary")
	Set mLinkedFields = Server.CreateObject("Scripting.Dictionary")
	If mDataProvider.Kind = "EAI" Then
			
			
	Else
			
			
	End If
	mDataProvider.Link lLinkedDataProvider, mLinkedFields, mReturnLinkedFields
End If

mDataProvider.Open mReturnFields

' The page's own functions, written in the HeaderDTC for its criteria:
Function GetCutoff()

GetCutoff = 1000

End Function 'GetCutoff()

Function GetStatus()

Dim s
s = "OPEN"
GetStatus = s

End Function 'GetStatus()

%>
